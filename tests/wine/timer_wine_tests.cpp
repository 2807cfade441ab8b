// SPDX-License-Identifier: MIT
// The Windows build's timer controls (app/win32/WaitableTimers), cross-compiled with mingw-w64 and
// run under Wine by run.sh, once for each way a timer is made:
//
//   timer_wine_tests.exe highres    the system makes high-resolution waitable timers
//   timer_wine_tests.exe fallback   the system refuses the flag: ordinary waitable timers
//
// Both runs drive the message loop's own wait and check the intervals the program keeps: the first
// tick after at least the interval and within a few ms of it, periodic ticks at whole periods from
// the start whatever a late tick did, a new setting restarting the period, disabling stopping the
// ticks, and a tick only ever from the wait. The last line says "PHASE: N passed, M failed".

#include "WaitableTimers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <functional>
#include <string>
#include <vector>

using quill::win32::WaitableTimers;

namespace {

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const std::string &what)
{
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAIL: %s\n", what.c_str());
    }
}

// How late a tick may come. Wine's timers are precise to a fraction of a millisecond; this leaves
// room for a busy machine, and stays below the 20 ms and more a drifting timer would be late by
// in the cases below.
constexpr double Slack = 15.0;

double nowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER c{};
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string ms(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f ms", v);
    return buf;
}

// Every flag set a timer was asked for with, and every handle made, in order.
std::vector<DWORD> g_asked;
std::vector<HANDLE> g_made;
bool g_refuseHighResolution = false;
bool g_refuseAll = false;

HANDLE recordingCreate(DWORD flags)
{
    g_asked.push_back(flags);
    if (g_refuseAll || (g_refuseHighResolution && (flags & CREATE_WAITABLE_TIMER_HIGH_RESOLUTION)))
        return nullptr;
    HANDLE h = WaitableTimers::createTimer(flags);
    g_made.push_back(h);
    return h;
}

bool handleOpen(HANDLE h)
{
    DWORD info = 0;
    return GetHandleInformation(h, &info) != 0;
}

// Runs the loop's wait until `until` (ms on nowMs's clock), draining the messages it reports;
// returns how many messages there were.
int pump(WaitableTimers &timers, double until)
{
    int messages = 0;
    for (double left = until - nowMs(); left > 0; left = until - nowMs()) {
        if (!timers.wait(static_cast<DWORD>(left) + 1))
            continue;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ++messages;
    }
    return messages;
}

// The ticks of one timer, in ms from the moment it was set.
struct Run {
    WaitableTimers timers{recordingCreate};
    std::vector<double> ticks;
    double start = 0;
    double busyUntil = 0; // when a busy tick handler ended, from the start
    int id = 0;
    std::function<void(Run &)> onTick;

    Run()
    {
        id = timers.add([this] {
            ticks.push_back(nowMs() - start);
            if (onTick)
                onTick(*this);
        });
    }
    void set(std::int32_t interval, bool enabled = true)
    {
        start = nowMs();
        timers.set(id, interval, enabled);
    }
    void pumpFor(double length) { pump(timers, start + length); }
};

void checkTick(const std::string &name, const std::vector<double> &ticks, std::size_t index,
               double due)
{
    const std::string what = name + ": tick " + std::to_string(index + 1);
    if (ticks.size() <= index) {
        check(false, what + " never came (" + std::to_string(ticks.size()) + " ticks)");
        return;
    }
    const double at = ticks[index];
    check(at >= due, what + " at " + ms(at) + ", before its due time " + ms(due));
    check(at < due + Slack, what + " at " + ms(at) + ", late for its due time " + ms(due));
}

void intervals()
{
    {
        Run r;
        r.set(50);
        r.pumpFor(80);
        checkTick("50 ms timer", r.ticks, 0, 50);
        check(r.ticks.size() == 1, "50 ms timer: " + std::to_string(r.ticks.size()) + " ticks in 80 ms");
    }
    {
        // Each tick at a whole number of periods from the start: nothing adds up.
        Run r;
        r.set(50);
        r.pumpFor(260);
        for (std::size_t i = 0; i < 5; ++i)
            checkTick("periodic 50 ms", r.ticks, i, 50.0 * double(i + 1));
    }
    {
        // A tick handled 35 ms long does not push the next one back (a drifting timer's would
        // come at 135 ms). Should the machine hold the handler past 100 ms, the tick comes as soon
        // as it ends.
        Run r;
        r.onTick = [](Run &run) {
            if (run.ticks.size() == 1) {
                Sleep(35);
                run.busyUntil = nowMs() - run.start;
            }
        };
        r.set(50);
        r.pumpFor(160);
        checkTick("late tick", r.ticks, 1, std::max(100.0, r.busyUntil));
    }
    {
        // A tick whose handler runs past the next due time: that tick comes as soon as it has
        // ended, late, and the one after it in step again. Periods missed altogether are
        // dropped: one late tick, never a burst.
        for (const DWORD busy : {70, 120}) {
            const std::string name = "busy " + std::to_string(busy) + " ms";
            Run r;
            r.onTick = [busy](Run &run) {
                if (run.ticks.size() == 1) {
                    Sleep(busy);
                    run.busyUntil = nowMs() - run.start;
                }
            };
            r.set(50);
            r.pumpFor(busy + 150);
            // Right after the handler, then at the next whole period.
            const double third = std::floor(r.busyUntil / 50) * 50 + 50;
            checkTick(name, r.ticks, 1, r.busyUntil);
            checkTick(name, r.ticks, 2, third);
            const auto before = std::count_if(r.ticks.begin(), r.ticks.end(),
                                              [&](double t) { return t < third + 25; });
            check(before == 3, name + ": " + std::to_string(before) + " ticks before "
                                   + ms(third + 25) + ", a burst or none");
        }
    }
    {
        // Setting it again, even to the same interval, starts the period afresh.
        Run r;
        r.set(50);
        r.pumpFor(30);
        r.set(50);
        r.pumpFor(60);
        checkTick("set again", r.ticks, 0, 50);
    }
}

void stopping()
{
    struct Case {
        const char *name;
        std::int32_t interval;
        bool enabled;
    };
    for (const Case &c : {Case{"disabled", 50, false}, Case{"interval 0", 0, true},
                          Case{"negative interval", -5, true}}) {
        Run r;
        r.set(c.interval, c.enabled);
        r.pumpFor(120);
        check(r.ticks.empty(), std::string(c.name) + ": " + std::to_string(r.ticks.size()) + " ticks");
    }
    {
        // Disabled from its own tick: no tick after it.
        Run r;
        r.onTick = [](Run &run) { run.timers.set(run.id, 50, false); };
        r.set(50);
        r.pumpFor(200);
        check(r.ticks.size() == 1, "disabled in its tick: " + std::to_string(r.ticks.size()) + " ticks");
    }
    {
        // Disabled while running, then enabled: the period counts from the enabling.
        Run r;
        r.set(50);
        r.pumpFor(20);
        r.timers.set(r.id, 50, false);
        r.pumpFor(120);
        check(r.ticks.empty(), "disabled before its tick: it ticked");
        r.set(50);
        r.pumpFor(70);
        checkTick("enabled again", r.ticks, 0, 50);
    }
}

void loop()
{
    {
        // A 1 ms timer set again from its own tick: the tick never runs inside the set that
        // started it, only from a later wait.
        Run r;
        int depth = 0;
        int deepest = 0;
        r.onTick = [&](Run &run) {
            deepest = std::max(deepest, ++depth);
            run.timers.set(run.id, 1, true);
            --depth;
        };
        r.set(1);
        r.pumpFor(40);
        check(deepest == 1, "tick inside the set of its own tick");
        check(r.ticks.size() >= 3, "1 ms timer set again from its tick: only "
                                       + std::to_string(r.ticks.size()) + " ticks in 40 ms");
    }
    {
        // A message wakes the wait at once, and the timer still ticks on time after it.
        Run r;
        r.set(50);
        PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
        const double before = nowMs();
        const bool messages = r.timers.wait(1000);
        const double woke = nowMs() - before;
        check(messages && woke < 25, "a posted message did not wake the wait (" + ms(woke) + ")");
        r.pumpFor(80);
        checkTick("timer beside a message", r.ticks, 0, 50);
    }
}

// Which flags the timers are made with, and that their handles go with them.
void making(bool highResolution)
{
    g_asked.clear();
    g_made.clear();
    {
        WaitableTimers timers(recordingCreate);
        const int a = timers.add([] {});
        const int b = timers.add([] {});
        const std::vector<DWORD> expected =
            highResolution ? std::vector<DWORD>{CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                                CREATE_WAITABLE_TIMER_HIGH_RESOLUTION}
                           : std::vector<DWORD>{CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, 0, 0};
        check(g_asked == expected, "the flags the timers were asked for");
        check(timers.highResolution() == highResolution, "highResolution()");
        check(a != b && a != 0 && b != 0, "two timers, two ids");
        check(timers.count() == 2 && g_made.size() == 2, "two handles");
        timers.set(a, 50, true);
        timers.remove(a);
        check(timers.count() == 1, "removed timer still waited on");
        check(g_made.size() == 2 && !handleOpen(g_made[0]), "removed timer's handle left open");
        check(g_made.size() == 2 && handleOpen(g_made[1]), "the other timer's handle closed");
        // A removed timer no longer ticks, and the one left still does.
        bool ticked = false;
        timers.set(b, 0, false);
        const int c = timers.add([&] { ticked = true; });
        timers.set(c, 20, true);
        pump(timers, nowMs() + 80);
        check(ticked, "the timer made after a removal never ticked");
    }
    check(!g_made.empty() && !handleOpen(g_made[1]), "timers left open when they went");

    // No timer at all: an error, and nothing left behind.
    g_refuseAll = true;
    g_asked.clear();
    WaitableTimers none(recordingCreate);
    bool threw = false;
    try {
        none.add([] {});
    } catch (const std::exception &) {
        threw = true;
    }
    g_refuseAll = false;
    check(threw && none.count() == 0, "no timer could be made: no error");
}

} // namespace

int main(int argc, char **argv)
{
    const std::string phase = argc > 1 ? argv[1] : "";
    if (phase != "highres" && phase != "fallback") {
        std::printf("usage: timer_wine_tests.exe highres|fallback\n");
        return 2;
    }
    g_refuseHighResolution = phase == "fallback";
    making(phase == "highres");
    intervals();
    stopping();
    loop();
    std::printf("%s: %d passed, %d failed\n", phase.c_str(), g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
