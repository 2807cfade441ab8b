// SPDX-License-Identifier: MIT
#pragma once

// Start-up on Windows: the process becomes DPI-aware, the registry is made, the startup window is
// loaded (its Load handler brings up the first visible window) and the message loop runs until the
// registry says the program is done.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace quill {
class Registry;
}

namespace quill::win32 {

// The user's display languages, most preferred first ("de-DE", "zh-Hant-TW").
std::vector<std::string> preferredLanguages();

// The whole program: returns the process exit status, 0, or 1 after the default error report.
int run(HINSTANCE instance, const std::function<void(Registry &)> &defineWindows);

} // namespace quill::win32
