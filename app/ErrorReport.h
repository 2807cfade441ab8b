// SPDX-License-Identifier: MIT
#pragma once

// The default error report: a message box naming the error. What happens after it (the program ends,
// or a handler that chose to go on goes on) is decided by the caller. Tests replace the presenter so
// that no box ever blocks them.

#include "RuntimeError.h"

#include <functional>
#include <string>

namespace quill {

using ErrorPresenter = std::function<void(const RuntimeError &)>;

// What the report says, in the user's language.
std::string reportText(const RuntimeError &error);

// Shows the report; returns when the user has dismissed it.
void reportError(const RuntimeError &error);

// Replaces how the report is shown; returns the previous presenter. An empty one restores the box.
ErrorPresenter setErrorPresenter(ErrorPresenter presenter);

// Runs `steps`; a RuntimeError they raise is reported and the caller goes on as if the steps had
// stopped where they failed. Used where a user's typing must not end the program. Returns whether
// the steps ran to their end.
bool reportAndGoOn(const std::function<void()> &steps);

// Runs `steps`; a RuntimeError they raise, or any other exception, is reported and ends the program
// through the registry. For steps of the event loop that are no handler of a form.
void endOnError(const std::function<void()> &steps);

// Runs an event handler: a RuntimeError it raises, or any other exception, is reported and ends the
// program through the registry. One handler never runs inside another: a handler delivered while
// one runs (a click, timer or close request that a message box let through) waits, and runs at the
// next turn of the event loop after the running one has ended.
void deliver(const std::function<void()> &handler);

// Whether a handler is running now.
bool handlerRunning();

} // namespace quill
