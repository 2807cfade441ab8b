// SPDX-License-Identifier: MIT
#include "MessageBox.h"

#include "Catalog.h"
#include "Text.h"

#include <windows.h>

namespace quill::win32 {

void showMessage(const std::string &text)
{
    // Modal to the whole program (every window of the thread is disabled while it is up), above
    // the full-screen covers, the program's name as its caption, an OK button and no icon.
    const HWND active = GetActiveWindow();
    const UINT direction = rightToLeft() ? MB_RTLREADING | MB_RIGHT : 0;
    MessageBoxW(nullptr, widen(text).c_str(), L"Quillendor",
                MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND | direction);
    if (active && IsWindow(active) && IsWindowVisible(active))
        SetForegroundWindow(active);
}

} // namespace quill::win32
