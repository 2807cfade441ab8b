// SPDX-License-Identifier: MIT
// The stand-ins of Seams.h, and the test build's choice of them from its command line:
//
//   Quillendor-seams.exe [--refuse-foreground] [--foreground-unchanged] [--refuse-lift]
//                        [--throw-in-click] [--throw-in-report]
//                        [--dialogs-report] [--dialogs-to-dpi=N] [--per-monitor-v2]
//
// Without options the test build behaves as Quillendor.exe does.

#include "Seams.h"

#include "SeamOptions.h"
#include "Win32Backend.h"

#include <cwchar>
#include <new>

// The real functions: this file is not compiled with Seams.h ahead of it, but it includes it.
#undef SetForegroundWindow
#undef SetWindowPos
#undef ChildWindowFromPointEx
#undef MultiByteToWideChar

namespace quill::seams {

Options &options()
{
    static Options o;
    return o;
}

namespace {

bool g_clickThrew = false;

bool fakeScreen(HWND window)
{
    wchar_t name[64] = {};
    return GetClassNameW(window, name, 64) && std::wcscmp(name, win32::Win32Backend::FormClass) == 0
           && !(GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION);
}

} // namespace

BOOL setForegroundWindow(HWND window)
{
    if (options().refuseForeground)
        return FALSE;
    if (options().foregroundUnchanged)
        return TRUE;
    return ::SetForegroundWindow(window);
}

BOOL setWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags)
{
    if (options().foregroundUnchanged)
        flags |= SWP_NOACTIVATE;
    if (options().refuseLift && after == HWND_TOPMOST && IsWindowVisible(window)
        && fakeScreen(window)) {
        static const ULONGLONG from = GetTickCount64();
        if (GetTickCount64() - from < 1000)
            return TRUE;
    }
    return ::SetWindowPos(window, after, x, y, width, height, flags);
}

HWND childWindowFromPointEx(HWND parent, POINT point, UINT flags)
{
    if (options().throwInClick) {
        g_clickThrew = true;
        throw std::bad_alloc();
    }
    return ::ChildWindowFromPointEx(parent, point, flags);
}

int multiByteToWideChar(UINT page, DWORD flags, LPCCH text, int size, LPWSTR wide, int length)
{
    if (options().throwInReport && g_clickThrew)
        throw std::bad_alloc();
    return ::MultiByteToWideChar(page, flags, text, size, wide, length);
}

} // namespace quill::seams
