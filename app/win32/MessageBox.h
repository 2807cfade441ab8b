// SPDX-License-Identifier: MIT
#pragma once

// The program's one message box: modal, an OK button only, no icon, the program's name as caption.

#include <string>

namespace quill::win32 {

void showMessage(const std::string &text);

} // namespace quill::win32
