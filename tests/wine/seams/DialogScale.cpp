// SPDX-License-Identifier: MIT
// The test build's look at the scale of its dialogs (--dialogs-report, --dialogs-to-dpi=N) and its
// stand-in for the per-monitor v2 awareness that Wine 8 refuses (--per-monitor-v2).
//
// Once a dialog (a form window with a caption) is shown and the queue is quiet, it is taken to a
// monitor of N DPI as Windows takes a window dragged there: WM_GETDPISCALEDSIZE, then
// WM_DPICHANGED with the size that answer gave or, unanswered, the window's size scaled linearly.
// Wine carries no WM_DPICHANGED rectangle across processes, so this is done from inside. Then a
// line of JSON on standard output gives the dialog's window and client sizes, its icons' widths
// and each control's rectangle and font height.

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

std::vector<HWND> seen;    // every dialog is looked at once
std::vector<HWND> waiting; // shown, to be looked at once the queue is quiet

std::string list(std::initializer_list<long> values)
{
    std::string text;
    for (long v : values)
        text += (text.empty() ? "[" : ",") + std::to_string(v);
    return text + "]";
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

// WM_GETDPISCALEDSIZE and WM_DPICHANGED for `dpi`; the size the window answered, or "null".
std::string moveTo(HWND dialog, UINT dpi)
{
    RECT was;
    GetWindowRect(dialog, &was);
    SIZE size{was.right - was.left, was.bottom - was.top};
    std::string answered = "null";
    if (SendMessageW(dialog, WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size))) {
        answered = list({size.cx, size.cy});
    } else {
        const int from = static_cast<int>(GetDpiForWindow(dialog));
        size = {MulDiv(size.cx, static_cast<int>(dpi), from),
                MulDiv(size.cy, static_cast<int>(dpi), from)};
    }
    RECT suggested{was.left, was.top, was.left + size.cx, was.top + size.cy};
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    return answered;
}

std::string report(HWND dialog, const std::string &answered)
{
    RECT window, client;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    std::string line = "{\"answered\":" + answered + ",\"window\":"
                       + list({window.right - window.left, window.bottom - window.top})
                       + ",\"client\":" + list({client.right, client.bottom}) + ",\"icons\":"
                       + list({iconWidth(dialog, ICON_BIG), iconWidth(dialog, ICON_SMALL)})
                       + ",\"controls\":[";
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&r), 2);
        LOGFONTW font{};
        const auto handle = reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0));
        const long height = handle && GetObjectW(handle, sizeof font, &font) ? font.lfHeight : 0;
        line += std::string(line.back() == '[' ? "" : ",") + "{\"id\":"
                + std::to_string(GetDlgCtrlID(c)) + ",\"rect\":"
                + list({r.left, r.top, r.right - r.left, r.bottom - r.top})
                + ",\"font\":" + std::to_string(height) + "}";
    }
    return line + "]}\n";
}

void CALLBACK lookAtWaiting(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    for (HWND dialog : std::exchange(waiting, {})) {
        if (!IsWindow(dialog))
            continue;
        const UINT dpi = options().dialogsToDpi;
        const std::string line = report(dialog, dpi ? moveTo(dialog, dpi) : "null");
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                  &written, nullptr);
    }
}

LRESULT CALLBACK afterMessage(int code, WPARAM w, LPARAM l)
{
    const auto *m = reinterpret_cast<const CWPRETSTRUCT *>(l);
    wchar_t name[64] = {};
    if (code == HC_ACTION && m->message == WM_WINDOWPOSCHANGED
        && (reinterpret_cast<const WINDOWPOS *>(m->lParam)->flags & SWP_SHOWWINDOW)
        && GetClassNameW(m->hwnd, name, 64) && !GetParent(m->hwnd)
        && std::wcscmp(name, win32::Win32Backend::FormClass) == 0
        && (GetWindowLongPtrW(m->hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION
        && std::find(seen.begin(), seen.end(), m->hwnd) == seen.end()) {
        seen.push_back(m->hwnd);
        waiting.push_back(m->hwnd);
        // A thread timer ticks once the queue is otherwise empty: after the handler that showed
        // the dialog, and after its first paint.
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
