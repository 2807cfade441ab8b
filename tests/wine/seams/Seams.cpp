// SPDX-License-Identifier: MIT
// The stand-ins of Seams.h, and the test build's choice of them from its command line:
//
//   Quillendor-seams.exe [--refuse-foreground] [--throw-in-click]
//                        [--dialogs-report] [--dialogs-to-dpi=N] [--per-monitor-v2]
//
// Without options the test build behaves as Quillendor.exe does.

#include "Seams.h"

#include "SeamOptions.h"

#include <new>

// The real functions: this file is not compiled with Seams.h ahead of it, but it includes it.
#undef SetForegroundWindow
#undef ChildWindowFromPointEx

namespace quill::seams {

Options &options()
{
    static Options o;
    return o;
}

BOOL setForegroundWindow(HWND window)
{
    if (options().refuseForeground)
        return FALSE;
    return ::SetForegroundWindow(window);
}

HWND childWindowFromPointEx(HWND parent, POINT point, UINT flags)
{
    if (options().throwInClick)
        throw std::bad_alloc();
    return ::ChildWindowFromPointEx(parent, point, flags);
}

} // namespace quill::seams
