// SPDX-License-Identifier: MIT
#pragma once

// The timer controls' ticks on Win32. A window timer (SetTimer) follows the system tick of about
// 15.6 ms and waits for an otherwise empty queue, so a one-second delay could end up to a tick late.
// Each timer control here is a waitable timer instead, high-resolution where the system has them
// (Windows 10 1803 and later), an ordinary one where it refuses the flag. The message loop waits
// on these timers and on the queue at once (wait()), and a timer that comes due runs its tick
// there, between two messages, like any other event: never inside the handler that set it going.
//
// The period counts from the moment the timer is set; a periodic timer is armed again from the
// time its tick was due, so late ticks do not push the ones after them back, and periods missed
// altogether are dropped rather than made up in a burst. An interval of 0 or less never fires.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace quill::win32 {

// Not in every mingw-w64's headers (Windows 10 1803 and later).
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

class WaitableTimers {
public:
    // Makes one auto-reset waitable timer with the given CreateWaitableTimerExW flags; null when
    // the system refuses them.
    using CreateTimer = HANDLE (*)(DWORD flags);
    static HANDLE createTimer(DWORD flags);

    explicit WaitableTimers(CreateTimer create = createTimer);
    ~WaitableTimers();
    WaitableTimers(const WaitableTimers &) = delete;
    WaitableTimers &operator=(const WaitableTimers &) = delete;

    // A new timer, stopped, that calls `tick` each time it fires; returns its id (never 0).
    // Throws std::runtime_error when no timer can be made at all.
    int add(std::function<void()> tick);
    // Closes the timer's handle; its tick is not called again.
    void remove(int id);
    // Every `interval` ms from now while `enabled`; otherwise (or with an interval of 0) stopped.
    void set(int id, std::int32_t interval, bool enabled);

    // Waits up to `timeout` ms for a timer to come due or for a message in the thread's queue.
    // A timer that came due has ticked when this returns false; true means messages wait.
    bool wait(DWORD timeout = INFINITE);

    // Whether the timers are high-resolution ones: false once the system has refused the flag.
    bool highResolution() const { return m_highResolution; }
    // The handles the loop waits on, for tests.
    std::size_t count() const { return m_handles.size(); }

private:
    struct Timer {
        int id = 0;
        std::function<void()> tick;
        std::int64_t due = 0; // in performance-counter counts
        std::int64_t period = 0;
        bool armed = false;
    };

    std::int64_t now() const;
    void arm(std::size_t index);
    void due(std::size_t index);

    CreateTimer m_create;
    bool m_highResolution = true;
    std::int64_t m_frequency = 1; // performance-counter counts per second
    int m_nextId = 1;
    std::vector<Timer> m_timers;
    std::vector<HANDLE> m_handles; // m_handles[i] is m_timers[i]'s
};

} // namespace quill::win32
