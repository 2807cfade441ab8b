#pragma once

// How a timer waits for its deadline. The event loop's waits are in whole milliseconds and Linux
// lets a wait run late by 0.1% of its length (5 ms on 5 s), so one long wait would miss the deadline
// by far more than a user's stopwatch forgives. The timer therefore waits in stages: a first wait
// that ends a little before the deadline (short by twice that slack and a millisecond), then a
// short wait for what is left, whose slack is a few microseconds.

#include <chrono>

namespace quill {

// The next wait for a deadline `remaining` away; zero means the deadline has come.
constexpr std::chrono::milliseconds nextWait(std::chrono::nanoseconds remaining)
{
    using namespace std::chrono;
    if (remaining <= nanoseconds::zero())
        return milliseconds::zero();
    const nanoseconds early = remaining - remaining / 500 - milliseconds(1);
    if (early >= milliseconds(1))
        return floor<milliseconds>(early);
    return ceil<milliseconds>(remaining);
}

} // namespace quill
