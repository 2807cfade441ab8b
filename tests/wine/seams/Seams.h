// SPDX-License-Identifier: MIT
#pragma once

// Included ahead of every source of the Windows backend in the program's test build
// (Quillendor-seams.exe), never in Quillendor.exe: a few Windows functions are routed through
// stand-ins that can refuse or fail as real Windows does where Wine never would. Each stand-in
// calls the real function unless the test build's command line asks otherwise (Seams.cpp).

#include <windows.h>

namespace quill::seams {

// SetForegroundWindow: refused, as Windows refuses a program that is not in the foreground when
// the user works in another one (the foreground lock).
BOOL setForegroundWindow(HWND window);
// ChildWindowFromPointEx, asked when a click lands on a window: throws std::bad_alloc, as a
// failing allocation would in the middle of a message.
HWND childWindowFromPointEx(HWND parent, POINT point, UINT flags);
// GetProcAddress, through which the backend finds the DPI functions of later Windows versions:
// AreDpiAwarenessContextsEqual finds every context per-monitor v2, the awareness of Windows 10
// 1703 and later, which Wine 8 refuses (DialogScale.cpp).
FARPROC getProcAddress(HMODULE module, LPCSTR name);

// GetUserPreferredUILanguages: the list --ui-languages=A,B,... gives, where it is given: Wine 8
// reports one language only, taken from LANG.
BOOL getUserPreferredUILanguages(DWORD flags, PULONG count, PZZWSTR buffer, PULONG size);

} // namespace quill::seams

#define GetUserPreferredUILanguages quill::seams::getUserPreferredUILanguages
#define SetForegroundWindow quill::seams::setForegroundWindow
#define ChildWindowFromPointEx quill::seams::childWindowFromPointEx
#define GetProcAddress quill::seams::getProcAddress
