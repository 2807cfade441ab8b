// SPDX-License-Identifier: MIT
// The stand-ins of Seams.h, and the test build's choice of them from its command line:
//
//   Quillendor-seams.exe [--refuse-foreground] [--throw-in-click]
//                        [--dialogs-report] [--dialogs-to-dpi=N] [--per-monitor-v2]
//                        [--ui-languages=A,B,...]
//   Quillendor-seams.exe [--ui-languages=...] [--report-texts=A,B,...] [--report-glyphs=A,B,...]
//                        (reports on the texts in those languages, and no window: Reports.cpp)
//
// Without options the test build behaves as Quillendor.exe does.

#include "Seams.h"

#include "SeamOptions.h"

#include <new>

// The real functions: this file is not compiled with Seams.h ahead of it, but it includes it.
#undef SetForegroundWindow
#undef ChildWindowFromPointEx
#undef GetUserPreferredUILanguages

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

BOOL getUserPreferredUILanguages(DWORD flags, PULONG count, PZZWSTR buffer, PULONG size)
{
    const std::wstring &list = options().uiLanguages;
    if (list.empty())
        return ::GetUserPreferredUILanguages(flags, count, buffer, size);
    // The names each ended by a zero, and the list by one more.
    const ULONG needed = static_cast<ULONG>(list.size()) + 1;
    *count = 0;
    for (wchar_t c : list)
        *count += c == L'\0';
    if (buffer && *size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (buffer) {
        list.copy(buffer, list.size());
        buffer[list.size()] = L'\0';
    }
    *size = needed;
    return TRUE;
}

} // namespace quill::seams
