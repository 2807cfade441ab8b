// SPDX-License-Identifier: MIT
#pragma once

// Start-up on Windows: the process becomes DPI-aware, the registry is made, the startup window is
// loaded (its Load handler brings up the first visible window) and the message loop runs until the
// registry says the program is done.

#include <windows.h>

#include "CommandLine.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quill {
class Registry;
}

namespace quill::win32 {

// The user's display languages, most preferred first ("de-DE", "zh-Hant-TW").
std::vector<std::string> preferredLanguages();

// The program's arguments, without its own name, in UTF-8.
std::vector<std::string> arguments();

// What the program says to whoever started it: on the standard output or error it was given,
// else on the console it was started from, else in a message box.
void say(const std::string &text, bool error);

// The whole program: the command line first (--help, --version and a mistake are answered before
// any window), then the windows. Returns the process exit status: 0, 1 after the default error
// report, 2 for a mistake on the command line.
int run(HINSTANCE instance, const ProgramWindows &windows, std::span<const std::string> arguments);

} // namespace quill::win32
