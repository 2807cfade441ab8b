// SPDX-License-Identifier: MIT
#include "WaitableTimers.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace quill::win32 {

HANDLE WaitableTimers::createTimer(DWORD flags)
{
    return CreateWaitableTimerExW(nullptr, nullptr, flags, TIMER_ALL_ACCESS);
}

WaitableTimers::WaitableTimers(CreateTimer create) : m_create(create)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    m_frequency = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

WaitableTimers::~WaitableTimers()
{
    for (HANDLE h : m_handles)
        CloseHandle(h);
}

std::int64_t WaitableTimers::now() const
{
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

int WaitableTimers::add(std::function<void()> tick)
{
    HANDLE handle = nullptr;
    if (m_highResolution) {
        handle = m_create(CREATE_WAITABLE_TIMER_HIGH_RESOLUTION);
        // Systems before Windows 10 1803 refuse the flag. Their ordinary waitable timers follow
        // the system tick as window timers do, but need no empty queue to fire. The flag is not
        // asked for again.
        if (!handle)
            m_highResolution = false;
    }
    if (!handle)
        handle = m_create(0);
    if (!handle)
        throw std::runtime_error("cannot make a waitable timer");
    if (m_handles.size() >= MAXIMUM_WAIT_OBJECTS - 1) { // the wait keeps one for the queue
        CloseHandle(handle);
        throw std::runtime_error("too many timers");
    }
    Timer timer;
    timer.id = m_nextId++;
    timer.tick = std::move(tick);
    m_timers.push_back(std::move(timer));
    m_handles.push_back(handle);
    return m_timers.back().id;
}

void WaitableTimers::remove(int id)
{
    for (std::size_t i = 0; i < m_timers.size(); ++i) {
        if (m_timers[i].id != id)
            continue;
        CloseHandle(m_handles[i]);
        m_timers.erase(m_timers.begin() + static_cast<std::ptrdiff_t>(i));
        m_handles.erase(m_handles.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

void WaitableTimers::set(int id, std::int32_t interval, bool enabled)
{
    for (std::size_t i = 0; i < m_timers.size(); ++i) {
        Timer &t = m_timers[i];
        if (t.id != id)
            continue;
        CancelWaitableTimer(m_handles[i]);
        t.armed = enabled && interval > 0;
        if (!t.armed)
            return;
        t.period = static_cast<std::int64_t>(interval) * m_frequency / 1000;
        t.due = now() + t.period;
        arm(i);
        return;
    }
}

void WaitableTimers::arm(std::size_t index)
{
    // A relative due time, in 100 ns units, so that a change of the clock does not move it.
    const std::int64_t left = m_timers[index].due - now();
    LARGE_INTEGER due{};
    due.QuadPart = -std::max<std::int64_t>(1, left * 10'000'000 / m_frequency);
    SetWaitableTimer(m_handles[index], &due, 0, nullptr, nullptr, FALSE);
}

void WaitableTimers::due(std::size_t index)
{
    Timer &t = m_timers[index];
    if (!t.armed)
        return;
    const std::int64_t at = now();
    if (at < t.due) {
        // Signalled before its time (the system's clock and the counter disagree a little):
        // wait out the rest, so that no tick ever comes before its interval.
        arm(index);
        return;
    }
    // The next period from the time this one was due; whole periods already gone are dropped.
    t.due += t.period;
    if (t.due <= at)
        t.due += (at - t.due) / t.period * t.period + t.period;
    arm(index);
    // Last: the tick may set, add or remove timers, this one included.
    const std::function<void()> tick = t.tick;
    tick();
}

bool WaitableTimers::wait(DWORD timeout)
{
    const auto n = static_cast<DWORD>(m_handles.size());
    const DWORD woke = MsgWaitForMultipleObjectsEx(n, n ? m_handles.data() : nullptr, timeout,
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke < WAIT_OBJECT_0 + n) {
        due(woke - WAIT_OBJECT_0);
        return false;
    }
    if (woke == WAIT_FAILED) {
        // Only a handle gone bad fails the wait: the timers stall, but the windows go on.
        WaitMessage();
        return true;
    }
    return woke == WAIT_OBJECT_0 + n;
}

} // namespace quill::win32
