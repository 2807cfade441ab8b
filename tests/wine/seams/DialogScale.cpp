// SPDX-License-Identifier: MIT
// The test build's look at the scale of its dialogs (--dialogs-report, --dialogs-to-dpi=N) and its
// stand-in for the per-monitor v2 awareness that Wine 8 refuses (--per-monitor-v2).
//
// Once a dialog (a form window with a caption) is on the screen and its first messages are
// handled, it is taken to a monitor of N DPI as Windows takes a window dragged there: first
// WM_GETDPISCALEDSIZE, and then WM_DPICHANGED with the size that answer gave, or where the
// window did not answer, its size scaled linearly as Windows scales it. Wine carries no
// WM_DPICHANGED rectangle across processes, so this is done from inside. Then one line of JSON on
// standard output says what the dialog is: its window and client sizes, its icons, and each
// control's rectangle, font height and whether its caption fits in it.

#include "Seams.h"

#include "SeamOptions.h"
#include "Win32Backend.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#undef GetProcAddress // the real one: this file is not compiled with Seams.h ahead of it

namespace quill::seams {
namespace {

const HANDLE PerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));

BOOL WINAPI everyContextPerMonitorV2(HANDLE, HANDLE other) { return other == PerMonitorAwareV2; }

std::vector<HWND> seen;    // every dialog handled once
std::vector<HWND> waiting; // shown, to be looked at once the message queue is quiet

bool isDialog(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return std::wcscmp(name, win32::Win32Backend::FormClass) == 0 && !GetParent(window)
           && (GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

std::string size(LONG width, LONG height)
{
    return "[" + std::to_string(width) + "," + std::to_string(height) + "]";
}

int iconWidth(HWND window, WPARAM which)
{
    ICONINFO info{};
    const auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return bitmap.bmWidth;
}

// Whether a label's or push button's caption fits inside it in its font: a label's lines broken
// at its width take no more than its height; a button's caption, one line, stays clear of its
// edges. Null for the other controls.
std::string captionFits(HWND control, HFONT font)
{
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    const bool label = _wcsicmp(name, L"Static") == 0;
    const bool button = _wcsicmp(name, L"Button") == 0
                        && ((style & BS_TYPEMASK) == BS_PUSHBUTTON
                            || (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
    if (!label && !button)
        return "null";
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length));
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    bool fits = false;
    if (label) {
        RECT used{0, 0, client.right, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &used,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        fits = used.right <= client.right && used.bottom <= client.bottom;
    } else {
        SIZE extent{};
        TEXTMETRICW metrics{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        GetTextMetricsW(dc, &metrics);
        const int edgeX = GetSystemMetrics(SM_CXEDGE), edgeY = GetSystemMetrics(SM_CYEDGE);
        fits = extent.cx <= client.right - 2 * edgeX
               && metrics.tmAscent - metrics.tmInternalLeading <= client.bottom - 2 * edgeY;
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return fits ? "true" : "false";
}

// WM_GETDPISCALEDSIZE and WM_DPICHANGED for `dpi`, as Windows sends them to a window dragged to a
// monitor of that DPI; the size the window answered, or "null".
std::string moveTo(HWND dialog, UINT dpi)
{
    RECT was;
    GetWindowRect(dialog, &was);
    SIZE wanted{was.right - was.left, was.bottom - was.top};
    std::string answered = "null";
    if (SendMessageW(dialog, WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&wanted))) {
        answered = size(wanted.cx, wanted.cy);
    } else {
        const int from = static_cast<int>(GetDpiForWindow(dialog));
        wanted = {MulDiv(wanted.cx, static_cast<int>(dpi), from),
                  MulDiv(wanted.cy, static_cast<int>(dpi), from)};
    }
    RECT suggested{was.left, was.top, was.left + wanted.cx, was.top + wanted.cy};
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    return answered;
}

std::string report(HWND dialog, const std::string &answered)
{
    RECT window, client;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    std::string line = "{\"answered\":" + answered + ",\"window\":"
                       + size(window.right - window.left, window.bottom - window.top)
                       + ",\"client\":" + size(client.right, client.bottom) + ",\"icons\":"
                       + size(iconWidth(dialog, ICON_BIG), iconWidth(dialog, ICON_SMALL))
                       + ",\"controls\":[";
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&r), 2);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0));
        LOGFONTW logical{};
        const bool hasFont = font && GetObjectW(font, sizeof logical, &logical);
        wchar_t name[32] = {};
        GetClassNameW(c, name, 32);
        std::string cls;
        for (const wchar_t *p = name; *p; ++p)
            cls += static_cast<char>(*p);
        line += std::string(c == GetWindow(dialog, GW_CHILD) ? "" : ",") + "{\"id\":"
                + std::to_string(GetDlgCtrlID(c)) + ",\"class\":\"" + cls + "\",\"rect\":["
                + std::to_string(r.left) + "," + std::to_string(r.top) + ","
                + std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top)
                + "],\"font\":" + (hasFont ? std::to_string(logical.lfHeight) : "null")
                + ",\"fits\":" + (hasFont ? captionFits(c, font) : "null") + "}";
    }
    return line + "]}\n";
}

void CALLBACK lookAtWaiting(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    for (HWND dialog : std::exchange(waiting, {})) {
        if (!IsWindow(dialog))
            continue;
        const std::string answered =
            options().dialogsToDpi ? moveTo(dialog, options().dialogsToDpi) : "null";
        const std::string line = report(dialog, answered);
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                  &written, nullptr);
    }
}

LRESULT CALLBACK afterMessage(int code, WPARAM w, LPARAM l)
{
    const auto *m = reinterpret_cast<const CWPRETSTRUCT *>(l);
    if (code == HC_ACTION && m->message == WM_WINDOWPOSCHANGED
        && (reinterpret_cast<const WINDOWPOS *>(m->lParam)->flags & SWP_SHOWWINDOW)
        && isDialog(m->hwnd) && std::find(seen.begin(), seen.end(), m->hwnd) == seen.end()) {
        seen.push_back(m->hwnd);
        waiting.push_back(m->hwnd);
        // A thread timer's tick comes once the queue is otherwise empty: after the handler that
        // showed the dialog, and after its first paint.
        SetTimer(nullptr, 0, 0, lookAtWaiting);
    }
    return CallNextHookEx(nullptr, code, w, l);
}

} // namespace

void watchDialogs()
{
    SetWindowsHookExW(WH_CALLWNDPROCRET, afterMessage, nullptr, GetCurrentThreadId());
}

FARPROC getProcAddress(HMODULE module, LPCSTR name)
{
    if (options().perMonitorV2 && HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0
        && std::strcmp(name, "AreDpiAwarenessContextsEqual") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void *>(&everyContextPerMonitorV2));
    return ::GetProcAddress(module, name);
}

} // namespace quill::seams
