// SPDX-License-Identifier: MIT
// The stand-ins of Seams.h, and the test build's choice of them from its command line:
//
//   Quillendor-seams.exe [--refuse-foreground] [--foreground-unchanged] [--refuse-lift]
//                        [--throw-in-click] [--throw-in-report] [--other-desktop]
//                        [--dialogs-report] [--dialogs-to-dpi=N] [--per-monitor-v2]
//                        [--ui-languages=A,B,...]
//   Quillendor-seams.exe [--ui-languages=...] [--report-texts=A,B,...] [--report-glyphs=A,B,...]
//                        (reports on the texts in those languages, and no window: Reports.cpp)
//
// Without options the test build behaves as Quillendor.exe does. With --other-desktop it says on
// standard output, "moved WxH+X+Y", each window it was asked to move to the desktop in front.

#include "Seams.h"

#include "SeamOptions.h"
#include "Win32Backend.h"

#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <new>
#include <vector>

// The real functions: this file is not compiled with Seams.h ahead of it, but it includes it.
#undef SetForegroundWindow
#undef SetWindowPos
#undef ChildWindowFromPointEx
#undef MultiByteToWideChar
#undef CoCreateInstance
#undef GetUserPreferredUILanguages

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

// Two virtual desktops: the one the fake screen's windows were made on, and the one in front,
// where the user moved to since, with every other window: other programs' and those made since.
class Desktops final : public IVirtualDesktopManager {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        *out = iid == __uuidof(IUnknown) || iid == __uuidof(IVirtualDesktopManager) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE IsWindowOnCurrentVirtualDesktop(HWND window, BOOL *on) override
    {
        *on = desktopOf(window) == Front;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindowDesktopId(HWND window, GUID *desktop) override
    {
        *desktop = GUID{desktopOf(window)};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveWindowToDesktop(HWND window, REFGUID desktop) override
    {
        if (desktop.Data1 != Front)
            return E_INVALIDARG;
        m_moved.push_back(window);
        RECT r{};
        GetWindowRect(window, &r);
        char line[64];
        const int size = std::snprintf(line, sizeof line, "moved %ldx%ld%+ld%+ld\n",
                                       r.right - r.left, r.bottom - r.top, r.left, r.top);
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(size), &written,
                  nullptr);
        return S_OK;
    }

private:
    static constexpr unsigned long Left = 1, Front = 2;

    unsigned long desktopOf(HWND window) const
    {
        const bool moved = std::find(m_moved.begin(), m_moved.end(), window) != m_moved.end();
        return fakeScreen(window) && !moved ? Left : Front;
    }

    std::vector<HWND> m_moved;
};

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

HRESULT coCreateInstance(REFCLSID type, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *made)
{
    static Desktops desktops;
    if (options().otherDesktop && type == __uuidof(VirtualDesktopManager))
        return desktops.QueryInterface(iid, made);
    return ::CoCreateInstance(type, outer, context, iid, made);
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
