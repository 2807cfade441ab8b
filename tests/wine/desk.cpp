// SPDX-License-Identifier: MIT
// What other programs on a Windows desk do to Quillendor, for the end-to-end cases under Wine. A
// console program run in the program's Wine prefix:
//
//   desk.exe close IMAGE
//       posts WM_CLOSE to every top-level window and every message-only window of the processes
//       whose program file is IMAGE (Quillendor.exe), as the Restart Manager and installers do;
//       prints "closed N".
//   desk.exe end-session IMAGE
//       as the Restart Manager ends a program whose files an installer replaces: sends
//       WM_QUERYENDSESSION and then WM_ENDSESSION, both with ENDSESSION_CLOSEAPP, to every
//       top-level window of those processes, and no more; prints "ending" before the first and
//       "sent N", with the milliseconds the slowest answer took, after the last.
//   desk.exe raise IMAGE L,T,W,H [L,T,W,H ...]
//       shows a small magenta topmost window at each rectangle of the desktop and takes the
//       foreground, as a program the user works in would; prints "ready". Each line "raise" on
//       standard input raises them once over whatever is topmost now without activating them,
//       as the taskbar or another topmost window does, and prints "raised"; then, for each of them, the milliseconds until
//       a window of IMAGE's processes stands over it again (-1: not within 2 s), as
//       "covered T1 T2 ...". Each line "check" prints the same at once, 0 for a window that has
//       one of IMAGE's over it now. A line "repeat" raises them every 100 ms for 5 s, as a
//       program that keeps its window on top does, and "push" puts every visible window of
//       IMAGE's processes at the bottom of the z-order every 100 ms for 5 s; each then prints
//       "raised" and the same as "raise", waiting up to 5 s. A line "minimise show" or
//       "minimise command" minimises every visible window of IMAGE's processes, with
//       ShowWindow or with WM_SYSCOMMAND's SC_MINIMIZE, and prints the same as "raise"; "close"
//       posts WM_CLOSE to each of them and prints "closed N". The end of standard input ends it.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr UINT RaiseNow = WM_APP + 1;
constexpr UINT CheckNow = WM_APP + 2;
constexpr UINT RepeatNow = WM_APP + 3;
constexpr UINT PushNow = WM_APP + 4;
constexpr UINT MinimiseNow = WM_APP + 5; // wParam: by WM_SYSCOMMAND
constexpr UINT CloseNow = WM_APP + 6;

bool imageIs(DWORD process, const wchar_t *image)
{
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!h)
        return false;
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    const bool got = QueryFullProcessImageNameW(h, 0, path, &size);
    CloseHandle(h);
    if (!got)
        return false;
    const wchar_t *name = std::wcsrchr(path, L'\\');
    name = name ? name + 1 : path;
    return _wcsicmp(name, image) == 0;
}

struct Closing {
    const wchar_t *image;
    int closed = 0;
};

void closeIfTheirs(HWND window, Closing &c)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (imageIs(process, c.image) && PostMessageW(window, WM_CLOSE, 0, 0))
        ++c.closed;
}

int close(const wchar_t *image)
{
    Closing c{image};
    EnumWindows(
        [](HWND window, LPARAM closing) {
            closeIfTheirs(window, *reinterpret_cast<Closing *>(closing));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&c));
    for (HWND m = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); m;
         m = FindWindowExW(HWND_MESSAGE, m, nullptr, nullptr))
        closeIfTheirs(m, c);
    std::printf("closed %d\n", c.closed);
    return c.closed > 0 ? 0 : 1;
}

std::vector<HWND> windowsOf(const wchar_t *image)
{
    struct Finding {
        const wchar_t *image;
        std::vector<HWND> found;
    } f{image, {}};
    EnumWindows(
        [](HWND window, LPARAM finding) {
            auto &f = *reinterpret_cast<Finding *>(finding);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (imageIs(process, f.image))
                f.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

int endSession(const wchar_t *image)
{
    const std::vector<HWND> windows = windowsOf(image);
    std::printf("ending\n");
    std::fflush(stdout);
    DWORD slowest = 0;
    int sent = 0;
    for (UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION})
        for (HWND window : windows) {
            const DWORD started = GetTickCount();
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(window, message, message == WM_ENDSESSION, ENDSESSION_CLOSEAPP,
                                    SMTO_ABORTIFHUNG, 5000, &answer))
                ++sent;
            slowest = std::max(slowest, GetTickCount() - started);
        }
    std::printf("sent %d, slowest answer %lu ms\n", sent, static_cast<unsigned long>(slowest));
    return 0;
}

std::vector<HWND> g_raised;
DWORD g_mainThread = 0;
const wchar_t *g_image = nullptr;

// Whether a visible window of IMAGE's processes stands above `window` and over part of it.
bool coveredByImage(HWND window)
{
    RECT mine;
    GetWindowRect(window, &mine);
    HWND above = GetWindow(window, GW_HWNDPREV);
    for (int i = 0; above && i < 4096; ++i, above = GetWindow(above, GW_HWNDPREV)) {
        DWORD process = 0;
        GetWindowThreadProcessId(above, &process);
        RECT r, overlap;
        if (IsWindowVisible(above) && GetWindowRect(above, &r) && IntersectRect(&overlap, &r, &mine)
            && imageIs(process, g_image))
            return true;
    }
    return false;
}

void reportCovered(DWORD within)
{
    std::vector<long> took(g_raised.size(), -1);
    const DWORD started = GetTickCount();
    for (DWORD now = started;; now = GetTickCount()) {
        bool all = true;
        for (std::size_t i = 0; i < g_raised.size(); ++i) {
            if (took[i] < 0 && coveredByImage(g_raised[i]))
                took[i] = static_cast<long>(now - started);
            all = all && took[i] >= 0;
        }
        if (all || now - started >= within)
            break;
        // The other program answers while this one sleeps: nothing here needs a message.
        Sleep(5);
    }
    std::printf("covered");
    for (long t : took)
        std::printf(" %ld", t);
    std::printf("\n");
    std::fflush(stdout);
}

void raiseAll()
{
    for (HWND raised : g_raised)
        SetWindowPos(raised, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

std::vector<HWND> visibleOfImage()
{
    std::vector<HWND> found = windowsOf(g_image);
    std::erase_if(found, [](HWND w) { return !IsWindowVisible(w); });
    return found;
}

// `step` every 100 ms for 5 s, this program's own messages handled in between.
template <typename Step>
void every100ms(const Step &step)
{
    for (int i = 0; i < 50; ++i) {
        step();
        const DWORD until = GetTickCount() + 100;
        for (DWORD now = GetTickCount(); static_cast<int>(until - now) > 0; now = GetTickCount()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
    }
}

void said(const char *what)
{
    std::printf("%s\n", what);
    std::fflush(stdout);
}

LRESULT CALLBACK raiserProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(window, &r);
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(reinterpret_cast<HDC>(w), &r, magenta);
        DeleteObject(magenta);
        return 1;
    }
    case RaiseNow:
        raiseAll();
        said("raised");
        reportCovered(2000);
        return 0;
    case RepeatNow:
    case PushNow:
        every100ms([message] {
            if (message == RepeatNow)
                raiseAll();
            else
                for (HWND theirs : visibleOfImage())
                    SetWindowPos(theirs, HWND_BOTTOM, 0, 0, 0, 0,
                                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        });
        said("raised");
        reportCovered(5000);
        return 0;
    case MinimiseNow:
        for (HWND theirs : visibleOfImage())
            if (w)
                SendMessageTimeoutW(theirs, WM_SYSCOMMAND, SC_MINIMIZE, 0, SMTO_ABORTIFHUNG, 2000,
                                    nullptr);
            else
                ShowWindow(theirs, SW_MINIMIZE);
        said("raised");
        reportCovered(2000);
        return 0;
    case CheckNow:
        reportCovered(0);
        return 0;
    case CloseNow: {
        const std::vector<HWND> theirs = visibleOfImage();
        for (HWND each : theirs)
            PostMessageW(each, WM_CLOSE, 0, 0);
        std::printf("closed %zu\n", theirs.size());
        std::fflush(stdout);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, w, l);
    }
}

DWORD WINAPI readInput(void *window)
{
    const std::pair<const char *, UINT> words[] = {
        {"raise", RaiseNow},   {"check", CheckNow},       {"repeat", RepeatNow},
        {"push", PushNow},     {"minimise", MinimiseNow}, {"close", CloseNow}};
    char line[64];
    while (std::fgets(line, sizeof line, stdin))
        for (const auto &[word, message] : words)
            if (std::strncmp(line, word, std::strlen(word)) == 0)
                PostMessageW(static_cast<HWND>(window), message,
                             std::strstr(line, "command") != nullptr, 0);
    PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
    return 0;
}

int raise(const wchar_t *image, int count, wchar_t **rects)
{
    g_image = image;
    WNDCLASSW c{};
    c.lpfnWndProc = raiserProc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"QuillendorTestRaiser";
    RegisterClassW(&c);
    for (int i = 0; i < count; ++i) {
        int x = 0, y = 0, w = 0, h = 0;
        if (std::swscanf(rects[i], L"%d,%d,%d,%d", &x, &y, &w, &h) != 4)
            return 2;
        HWND window = CreateWindowExW(WS_EX_TOPMOST, c.lpszClassName, L"raiser", WS_POPUP, x, y, w,
                                      h, nullptr, nullptr, c.hInstance, nullptr);
        if (!window)
            return 1;
        ShowWindow(window, SW_SHOW);
        g_raised.push_back(window);
    }
    if (g_raised.empty())
        return 2;
    SetForegroundWindow(g_raised.front());
    g_mainThread = GetCurrentThreadId();
    std::printf("ready\n");
    std::fflush(stdout);
    CloseHandle(CreateThread(nullptr, 0, readInput, g_raised.front(), 0, nullptr));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"close") == 0)
        return close(argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"end-session") == 0)
        return endSession(argv[2]);
    if (argc >= 4 && std::wcscmp(argv[1], L"raise") == 0)
        return raise(argv[2], argc - 3, argv + 3);
    std::fprintf(stderr, "usage: desk.exe close IMAGE | end-session IMAGE | raise IMAGE L,T,W,H ...\n");
    return 2;
}
