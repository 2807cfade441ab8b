// SPDX-License-Identifier: MIT
// The benchmark's floor for the delay under Wine: a 394x304 window with a Start button where the
// setup dialog has its own. The release of a click on it arms a high-resolution waitable timer
// (an ordinary one where the flag is refused) for 1,001 ms, the interval a typed 1 gives; when it
// fires, a full-screen cover made at start-up is shown. A click on the cover shows a small window
// made then, as the reveal dialog is. Built by bench/wine.sh with mingw-w64.
#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

HWND g_cover = nullptr;
HANDLE g_timer = nullptr;
HINSTANCE g_instance = nullptr;

LRESULT CALLBACK dialogProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_COMMAND && LOWORD(w) == IDOK && HIWORD(w) == BN_CLICKED) {
        LARGE_INTEGER due{};
        due.QuadPart = -1001LL * 10'000; // relative, in 100 ns units
        SetWaitableTimer(g_timer, &due, 0, nullptr, nullptr, FALSE);
        ShowWindow(window, SW_HIDE);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK coverProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_LBUTTONUP) {
        HWND reveal = CreateWindowExW(WS_EX_TOPMOST, L"PlainDialog", L"Plain reveal",
                                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 100, 100, 300, 200,
                                      nullptr, nullptr, g_instance, nullptr);
        ShowWindow(reveal, SW_SHOW);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    g_instance = instance;
    g_timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                     TIMER_ALL_ACCESS);
    if (!g_timer)
        g_timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    if (!g_timer)
        return 1;

    WNDCLASSW c{};
    c.lpfnWndProc = dialogProc;
    c.hInstance = instance;
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = L"PlainDialog";
    RegisterClassW(&c);
    c.lpfnWndProc = coverProc;
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_DESKTOP + 1);
    c.lpszClassName = L"PlainCover";
    RegisterClassW(&c);

    RECT frame{0, 0, 394, 304};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRect(&frame, style, FALSE);
    HWND dialog = CreateWindowExW(0, L"PlainDialog", L"Plain Win32 delay", style, 100, 100,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    CreateWindowExW(0, L"BUTTON", L"Start", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 280, 264, 105,
                    29, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance,
                    nullptr);
    // Made now, shown when the timer fires.
    g_cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"PlainCover", L"Plain cover",
                              WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                              GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
    ShowWindow(dialog, SW_SHOW);

    MSG msg;
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &g_timer, INFINITE, QS_ALLINPUT,
                                                       MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) {
            ShowWindow(g_cover, SW_SHOW);
            continue;
        }
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return 0;
            if (!IsDialogMessageW(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
}
