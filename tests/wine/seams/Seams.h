// SPDX-License-Identifier: MIT
#pragma once

// Included ahead of every source of the Windows backend in the program's test build
// (Quillendor-seams.exe), never in Quillendor.exe: a few Windows functions are routed through
// stand-ins that can refuse or fail as real Windows does where Wine never would. Each stand-in
// calls the real function unless the test build's command line asks otherwise (Seams.cpp).

#include <windows.h>
#include <objbase.h> // declared before it is routed

namespace quill::seams {

// SetForegroundWindow: refused, as Windows refuses a program that is not in the foreground when
// the user works in another one (the foreground lock); or said yes to while the foreground stays
// where it is, as older documentation warns a refused call may answer.
BOOL setForegroundWindow(HWND window);
// SetWindowPos: activates nothing while the foreground stays where it is (as the foreground lock
// has it, where Wine would activate the window shown); or, for one second from the first raise of
// a fake screen already on the screen, raises none, as if another program's window won.
BOOL setWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
// MultiByteToWideChar: throws std::bad_alloc once a click has thrown, so that the error report
// cannot make its text.
int multiByteToWideChar(UINT page, DWORD flags, LPCCH text, int size, LPWSTR wide, int length);
// CoCreateInstance: a virtual desktop manager of the test build's own, whose user moved to
// another desktop after the program's windows were made (Wine has no virtual desktops).
HRESULT coCreateInstance(REFCLSID type, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *made);
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
#define SetWindowPos quill::seams::setWindowPos
#define MultiByteToWideChar quill::seams::multiByteToWideChar
#define CoCreateInstance quill::seams::coCreateInstance
#define ChildWindowFromPointEx quill::seams::childWindowFromPointEx
#define GetProcAddress quill::seams::getProcAddress
