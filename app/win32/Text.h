// SPDX-License-Identifier: MIT
#pragma once

// The runtime's texts are UTF-8; every Win32 call the windows make takes UTF-16.

#include <string>
#include <string_view>

namespace quill::win32 {

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

} // namespace quill::win32
