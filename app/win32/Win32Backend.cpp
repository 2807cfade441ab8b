// SPDX-License-Identifier: MIT
#include "Win32Backend.h"

#include "Dpi.h"
#include "ErrorReport.h"
#include "Layout.h"
#include "Look.h"
#include "MessageBox.h"
#include "Text.h"
#include "Win32Window.h"

#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

namespace quill::win32 {
namespace {

constexpr UINT RunPosted = WM_APP + 1;
constexpr const wchar_t *MessageClass = L"QuillendorMessages";
constexpr const wchar_t *OwnerClass = L"QuillendorOwner";

// No exception crosses a window procedure, nor the message loop: what a message, a posted step
// or a timer tick throws goes to the default error report and ends the program, as a failing
// handler does. The report's message box runs a message loop of its own; what fails while it is
// up is left unreported, since the program ends once it is dismissed.
bool g_failing = false;

// Where the report itself fails (its text cannot be made when memory has run out): a fixed text,
// nothing allocated here, and the end with status 1 whether the box came or not.
[[noreturn]] void lastResort() noexcept
{
    MessageBoxW(nullptr, L"Quillendor met an error it could not report, and has to end.",
                L"Quillendor", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
    TerminateProcess(GetCurrentProcess(), 1);
    ExitProcess(1); // not reached: TerminateProcess of the process itself does not return
}

template <typename Step>
void guarded(const Step &step)
{
    if (g_failing) {
        try {
            step();
        } catch (...) {
        }
        return;
    }
    try {
        step();
    } catch (...) {
        g_failing = true;
        try {
            endOnError([failure = std::current_exception()] {
                try {
                    std::rethrow_exception(failure);
                } catch (const std::exception &) {
                    throw;
                } catch (...) {
                    throw std::runtime_error("an unknown failure");
                }
            });
        } catch (...) {
            lastResort();
        }
    }
}

// One window procedure per class: the Win32Window of a window is kept with it from WM_NCCREATE
// (its creation parameter) to WM_NCDESTROY, and every message goes to it.
template <LRESULT (Win32Window::*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE) {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *owner = reinterpret_cast<Win32Window *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY)
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!owner)
        return DefWindowProcW(window, message, w, l);
    LRESULT result = 0;
    guarded([&] { result = (owner->*Handle)(window, message, w, l); });
    return result;
}

// The hidden window that owns the dialogs kept off the taskbar. A close request to it (the
// Restart Manager sends one to every top-level window) would destroy it and every window it owns
// behind the runtime's back: it is ignored. The session's end ends the program.
LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (const auto answer = sessionAnswer(message, w))
        return *answer;
    return message == WM_CLOSE ? 0 : DefWindowProcW(window, message, w, l);
}

void registerClass(HINSTANCE instance, const wchar_t *name, WNDPROC proc, UINT style = 0)
{
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = style;
    c.lpfnWndProc = proc;
    c.hInstance = instance;
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    c.lpszClassName = name;
    RegisterClassExW(&c);
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info))
        return TRUE;
    auto rect = [](const RECT &r) {
        return PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    auto &monitors = *reinterpret_cast<std::vector<Monitor> *>(list);
    const Monitor found{rect(info.rcMonitor), rect(info.rcWork),
                        static_cast<double>(dpiOf(monitor))};
    if (info.dwFlags & MONITORINFOF_PRIMARY)
        monitors.insert(monitors.begin(), found);
    else
        monitors.push_back(found);
    return TRUE;
}

} // namespace

Win32Backend::Win32Backend(HINSTANCE instance) : m_instance(instance), m_virtualDesktops(instance)
{
    registerClass(instance, FormClass, windowProc<&Win32Window::message>, CS_DBLCLKS);
    registerClass(instance, PictureClass, windowProc<&Win32Window::pictureMessage>, CS_DBLCLKS);
    registerClass(instance, MessageClass, messageProc);
    registerClass(instance, OwnerClass, ownerProc);
    m_messages = CreateWindowExW(0, MessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 instance, nullptr);
    SetWindowLongPtrW(m_messages, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_owner = CreateWindowExW(0, OwnerClass, L"Quillendor", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                              nullptr, instance, nullptr);
}

Win32Backend::Com::~Com()
{
    if (started)
        CoUninitialize();
}

bool Win32Backend::startCom()
{
    if (!m_com.asked) {
        m_com.asked = true;
        m_com.started = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        if (m_com.started) {
            m_accessibility.start();
            for (Win32Window *w : m_windows)
                w->describe();
            m_taskbar.prepare();
            m_virtualDesktops.prepare();
        }
    }
    return m_com.started;
}

Win32Backend::~Win32Backend()
{
    m_retiring.clear();
    m_retired.clear();
    DestroyWindow(m_owner);
    DestroyWindow(m_messages);
}

std::unique_ptr<NativeWindow> Win32Backend::createWindow(const WindowDesc &description,
                                                         const WindowLayout &layout,
                                                         WindowEvents events)
{
    return std::make_unique<Win32Window>(*this, description, layout, std::move(events));
}

void Win32Backend::dispose(std::unique_ptr<NativeWindow> window)
{
    // After the steps posted before it (the windows the event showed come on the screen first),
    // and then only once no handler runs: the message loop destroys it.
    NativeWindow *leaving = window.get();
    m_retiring.push_back(std::move(window));
    post([this, leaving] {
        auto it = std::find_if(m_retiring.begin(), m_retiring.end(),
                               [leaving](const auto &w) { return w.get() == leaving; });
        if (it == m_retiring.end())
            return;
        m_retired.push_back(std::move(*it));
        m_retiring.erase(it);
    });
}

void Win32Backend::post(std::function<void()> step)
{
    m_posted.push_back(std::move(step));
    PostMessageW(m_messages, RunPosted, 0, 0);
}

LRESULT CALLBACK Win32Backend::messageProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    // The posted steps' window stays as long as the program: a close request is ignored.
    if (message == WM_CLOSE)
        return 0;
    if (message != RunPosted)
        return DefWindowProcW(window, message, w, l);
    if (auto *self = reinterpret_cast<Win32Backend *>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        guarded([self] { self->runPosted(); });
    return 0;
}

void Win32Backend::runPosted()
{
    if (m_posted.empty())
        return;
    std::function<void()> step = std::move(m_posted.front());
    m_posted.pop_front();
    // No exception crosses the window procedure: a failing step ends the program as a failing
    // handler does.
    endOnError(step);
}

void Win32Backend::destroyRetired()
{
    if (m_retired.empty() || handlerRunning())
        return;
    auto going = std::move(m_retired);
    m_retired.clear();
    going.clear();
}

void Win32Backend::add(Win32Window *window) { m_windows.push_back(window); }

void Win32Backend::remove(Win32Window *window)
{
    std::erase(m_windows, window);
    coversChanged();
}

bool Win32Backend::coversShown() const
{
    return std::any_of(m_windows.begin(), m_windows.end(),
                       [](const Win32Window *w) { return w->coversShown(); });
}

void Win32Backend::coversChanged()
{
    if (coversShown())
        return;
    for (Win32Window *w : m_windows)
        w->keepAboveCovers(false);
}

void Win32Backend::raiseAboveCovers()
{
    // The thread's visible windows that are no fake screen, the message box included, from the
    // bottom up, so that they keep their order among themselves.
    std::vector<HWND> found;
    EnumWindows(
        [](HWND window, LPARAM list) {
            if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()
                && IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        const Win32Window *form = formOf(*it);
        if (form && form->isFullScreen())
            continue;
        SetWindowPos(*it, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

std::optional<LRESULT> sessionAnswer(UINT message, WPARAM w)
{
    if (message == WM_QUERYENDSESSION)
        return TRUE;
    if (message != WM_ENDSESSION)
        return std::nullopt;
    // Nothing is saved and nothing asks: no handler runs and no window comes on the way out.
    // ExitProcess ends the other threads first (COM and the accessibility runtime start some)
    // and then runs every DLL's detach code, which can wait forever for a lock one of them held;
    // TerminateProcess of the process itself runs none, and does not return.
    if (w)
        TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}

Win32Window *Win32Backend::formOf(HWND window) const
{
    if (!window)
        return nullptr;
    const HWND root = GetAncestor(window, GA_ROOT);
    for (Win32Window *w : m_windows)
        if (w->owns(root))
            return w;
    return nullptr;
}

void Win32Backend::run()
{
    MSG msg;
    while (!m_ended) {
        // A timer that comes due ticks here, between two messages; otherwise the messages that
        // wait are handled.
        bool ticked = false;
        guarded([&] { ticked = !m_timers.wait(); });
        if (ticked) {
            guarded([this] { afterEvent(); });
            continue;
        }
        while (!m_ended && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                m_ended = true;
                break;
            }
            guarded([&] {
                handle(msg);
                afterEvent();
            });
        }
    }
    m_retiring.clear();
    m_retired.clear();
}

void Win32Backend::handle(MSG &msg)
{
    Win32Window *form = formOf(msg.hwnd);
    // Tab, Shift+Tab, Enter, Esc and the arrow keys as in a dialog.
    if (!form || !IsDialogMessageW(form->handle(), &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Win32Backend::afterEvent()
{
    // COM starts once the first window is on the screen, before the loop takes another
    // message: start-up does not wait for it, and no screen reader has asked anything yet.
    if (!m_com.asked && std::any_of(m_windows.begin(), m_windows.end(), [](const Win32Window *w) {
            return IsWindowVisible(w->handle());
        }))
        startCom();
    const HWND focus = GetFocus();
    if (focus != m_lastFocus) {
        m_lastFocus = focus;
        if (Win32Window *focused = formOf(focus))
            focused->focusChanged(focus);
    }
    destroyRetired();
}

void Win32Backend::end()
{
    m_ended = true;
    PostMessageW(m_messages, WM_NULL, 0, 0);
}

std::vector<Monitor> Win32Backend::monitors() const
{
    std::vector<Monitor> found;
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&found));
    return found;
}

Colour Win32Backend::systemColour(int index) const
{
    return static_cast<Colour>(GetSysColor(index)) & 0x00FFFFFFu;
}

PixelSize Win32Backend::textExtent(Kind kind, std::string_view text, const Font &font,
                                   double scale, double dpi, int width) const
{
    return win32::textExtent(kind, text, font, scale, dpi, width);
}

char32_t Win32Backend::decimalSeparator() const { return win32::decimalSeparator(); }

char32_t decimalSeparator()
{
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 0 && separator[0])
        return static_cast<char32_t>(separator[0]);
    return U'.';
}

void Win32Backend::showMessage(const std::string &text) { win32::showMessage(text); }

} // namespace quill::win32
