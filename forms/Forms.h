// SPDX-License-Identifier: MIT
#pragma once

// Fills a registry with the program's four windows, and what start-up needs of them.

#include "CommandLine.h"

namespace quill {
class Registry;
}

namespace quill::forms {

void defineWindows(Registry &registry);
// The windows for start-up: the setup dialog's rule for a delay, and its Start as the command
// line asks.
const ProgramWindows &programWindows();

} // namespace quill::forms
