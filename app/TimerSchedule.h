// SPDX-License-Identifier: MIT
#pragma once

// How a timer waits for its deadline. The event loop's waits are in whole milliseconds and Linux
// lets a wait run late by 0.1% of its length (5 ms on 5 s), so one long wait would miss the deadline
// by far more than a user's stopwatch forgives. The timer therefore waits in stages: a first wait
// that ends a little before the deadline (short by twice that slack and a millisecond), then
// shorter waits whose slack is a few microseconds, and the last two milliseconds or less are slept
// on the spot, since a wait of the event loop would round them up to a whole millisecond.

#include <algorithm>
#include <chrono>

namespace quill {

// What is left when the timer stops waiting on the event loop and sleeps until the deadline.
inline constexpr std::chrono::milliseconds SleepTheRest{2};

// The next wait on the event loop for a deadline `remaining` away; zero means: sleep the rest
// (if any) and fire.
constexpr std::chrono::milliseconds nextWait(std::chrono::nanoseconds remaining)
{
    using namespace std::chrono;
    if (remaining <= SleepTheRest)
        return milliseconds::zero();
    return std::max(floor<milliseconds>(remaining - remaining / 500 - milliseconds(1)),
                    milliseconds(1));
}

} // namespace quill
