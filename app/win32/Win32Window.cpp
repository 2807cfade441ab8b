// SPDX-License-Identifier: MIT
#include "Win32Window.h"

#include "Dpi.h"
#include "Layout.h"
#include "RuntimeError.h"
#include "Text.h"
#include "Win32Backend.h"

namespace quill::win32 {
namespace {

constexpr UINT Restore = WM_APP + 2;

} // namespace

Win32Window::Win32Window(Win32Backend &backend, const WindowDesc &d, const WindowLayout &layout,
                         WindowEvents events)
    : m_backend(backend), m_description(d), m_events(std::move(events)), m_look(backend),
      m_widgets(backend, d, m_events), m_covers(backend, d, this), m_zOrder(backend)
{
    const DWORD style = styleOf(d);
    const DWORD ex = exStyleOf(d);
    const UINT layoutDpi = static_cast<UINT>(layout.dpi > 0 ? layout.dpi : 96);
    const RECT frame = quill::isFullScreen(d) ? toRect(layout.frame)
                                       : frameAround(toRect(layout.frame), style, ex, layoutDpi);
    const HWND owner = (!d.showInTaskbar && !quill::isFullScreen(d)) ? backend.owner() : nullptr;
    m_window = CreateWindowExW(ex, Win32Backend::FormClass, widen(d.caption).c_str(), style,
                               frame.left, frame.top, frame.right - frame.left,
                               frame.bottom - frame.top, owner, nullptr, backend.instance(), this);
    if (!m_window)
        throw RuntimeError(ErrorCode::ObjectRequired, "cannot make the window " + std::string(d.name));
    m_backend.add(this);
    const UINT dpi = dpiOf(m_window);
    double scale = layout.fontScale;
    if (dpi != layoutDpi) {
        // Made on a monitor of another DPI than the runtime laid it out for: the fonts are
        // measured again at the window's DPI, and the client area's size follows it.
        scale = fontScale(d, dpi, backend);
        if (!quill::isFullScreen(d)) {
            const SIZE size = frameSize(dpi);
            SetWindowPos(m_window, nullptr, 0, 0, size.cx, size.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    m_look.setScale(dpi, scale);
    try {
        m_widgets.create(m_window, this);
        describe();
        layOut();
        if (quill::isFullScreen(d))
            makeCovers();
    } catch (...) {
        release(); // a failed window leaves nothing behind
        throw;
    }
}

Win32Window::~Win32Window() { release(); }

void Win32Window::release()
{
    m_backend.remove(this);
    m_widgets.release();
    m_covers.destroy();
    if (m_window) {
        const HWND window = m_window;
        m_backend.accessibility().forget(window, m_widgets.windows());
        m_window = nullptr;
        DestroyWindow(window);
    }
}

void Win32Window::layOut()
{
    m_widgets.layOut(m_look);
    // A window without a frame and off the taskbar shows its icon nowhere.
    const bool showsIcon = m_description.border != Border::None || m_description.showInTaskbar;
    if (m_description.icon != Picture::None && showsIcon)
        for (const WPARAM which : {ICON_BIG, ICON_SMALL})
            SendMessageW(m_window, WM_SETICON, which,
                         reinterpret_cast<LPARAM>(m_look.icon(which)));
    m_look.dropOld();
}

SIZE Win32Window::frameSize(UINT dpi) const
{
    const RECT client{0, 0, toPixels(m_description.client.width, dpi),
                      toPixels(m_description.client.height, dpi)};
    const RECT frame = frameAround(client, styleOf(m_description), exStyleOf(m_description), dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Win32Window::followDpi(UINT dpi)
{
    if (dpi == 0 || dpi == m_look.dpi())
        return;
    m_look.setScale(dpi, fontScale(m_description, dpi, m_backend));
    layOut();
    InvalidateRect(m_window, nullptr, TRUE);
}

void Win32Window::describe()
{
    m_backend.accessibility().describe(m_window, m_description, m_widgets.windows());
}

bool Win32Window::isFullScreen() const { return quill::isFullScreen(m_description); }

bool Win32Window::owns(HWND window) const
{
    return window && (window == m_window || m_covers.owns(window));
}

void Win32Window::makeCovers()
{
    if (const std::optional<RECT> primary = m_covers.make()) {
        SetWindowPos(m_window, nullptr, primary->left, primary->top, primary->right - primary->left,
                     primary->bottom - primary->top, SWP_NOZORDER | SWP_NOACTIVATE);
        // The primary monitor may be another one now, or the same at another DPI.
        followDpi(dpiOf(m_window));
    }
    if (m_shown)
        m_covers.show(m_window, true);
}

void Win32Window::place(const PixelRect &client)
{
    if (isFullScreen())
        return;
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_STYLE));
    const DWORD ex = static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_EXSTYLE));
    const RECT frame = frameAround(toRect(client), style, ex, m_look.dpi());
    SetWindowPos(m_window, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::map()
{
    if (!m_window)
        return;
    m_shown = true;
    if (isFullScreen()) {
        // Monitors that changed while the screen was hidden are covered as it comes.
        if (m_covers.outdated())
            makeCovers();
        m_covers.show(m_window, true);
        m_covers.watchMonitors(m_window);
        // Refused when the user works in another program, the usual case once the delay ran:
        // the covers stay on top all the same (Covers::keepOnTop), and a click activates them.
        SetForegroundWindow(m_window);
        return;
    }
    if (IsIconic(m_window))
        ShowWindow(m_window, SW_RESTORE);
    m_zOrder.shown(m_window);
}

void Win32Window::keepAboveCovers(bool above)
{
    if (!isFullScreen())
        m_zOrder.keepAboveCovers(m_window, above);
}

void Win32Window::unmap()
{
    if (!m_window)
        return;
    const bool covered = coversShown();
    m_shown = false;
    m_covers.hide(m_window);
    ShowWindow(m_window, SW_HIDE);
    if (covered)
        m_backend.coversChanged();
}

void Win32Window::focus(std::string_view name) { m_widgets.focus(m_window, name); }

std::string Win32Window::text(std::string_view name) const { return m_widgets.text(name); }

void Win32Window::setText(std::string_view name, std::string_view text)
{
    m_widgets.setText(name, text);
}

std::int16_t Win32Window::value(std::string_view name) const { return m_widgets.value(name); }

void Win32Window::setValue(std::string_view name, std::int16_t value)
{
    m_widgets.setValue(name, value);
}

void Win32Window::setTimer(std::string_view name, std::int32_t interval, bool enabled)
{
    if (m_window)
        m_widgets.setTimer(name, interval, enabled);
}

void Win32Window::stopTimers()
{
    if (m_window)
        m_widgets.stopTimers();
}

void Win32Window::focusChanged(HWND focus) { m_widgets.focusChanged(m_window, focus); }

void Win32Window::paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (window == m_window)
        drawLines(dc, m_description, m_look.dpi(), m_look);
    EndPaint(window, &ps);
}

LRESULT Win32Window::message(HWND window, UINT msg, WPARAM w, LPARAM l)
{
    if (m_widgets.mouse(m_window, window, msg, l))
        return 0;
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(w), &r,
                 m_look.brush(m_description.backColour.value_or(colours::ButtonFace)));
        return 1;
    }
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (m_widgets.findByWindow(reinterpret_cast<HWND>(l)))
            return m_widgets.colours(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w), m_look);
        break;
    case WM_COMMAND:
        m_widgets.command(LOWORD(w), HIWORD(w));
        return 0;
    case DM_GETDEFID:
        return m_widgets.defaultId();
    case WM_TIMER:
        if (w == Covers::MonitorCheck) {
            if (window == m_window && m_shown && m_covers.outdated())
                makeCovers();
            m_covers.keepOnTop(m_window);
            return 0;
        }
        break;
    case WM_WINDOWPOSCHANGING: {
        // Something moves a fake screen's window down the z-order: it goes back on top.
        const auto *pos = reinterpret_cast<const WINDOWPOS *>(l);
        if (!(pos->flags & SWP_NOZORDER) && pos->hwndInsertAfter != HWND_TOPMOST
            && pos->hwndInsertAfter != HWND_TOP)
            m_covers.keepOnTopSoon(m_window);
        break;
    }
    case WM_ACTIVATEAPP:
        // Another program took the foreground, and may put a window over the fake screen.
        if (!w)
            m_covers.keepOnTopSoon(m_window);
        else if (window == m_window)
            m_zOrder.activated(m_window);
        break;
    case WM_MOUSEACTIVATE:
        // A click on a fake screen that is not active activates it and still counts as a click.
        if (isFullScreen())
            return MA_ACTIVATE;
        break;
    case WM_CLOSE:
        // The close box, Alt+F4, the taskbar's Close: the form decides, never DefWindowProc.
        m_events.closeRequest();
        return 0;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        return *sessionAnswer(msg, w);
    case WM_ACTIVATE:
        if (window != m_window)
            break;
        if (LOWORD(w) == WA_INACTIVE) {
            m_widgets.focusChanged(m_window, GetFocus());
        } else {
            m_zOrder.activated(m_window);
            if (m_widgets.giveFocusBack())
                return 0;
        }
        break;
    case WM_SETFOCUS:
        if (window == m_window && m_widgets.giveFocusBack())
            return 0;
        break;
    case WM_SIZE:
        // A window without a minimize button that is minimized all the same (Win+D, "Show the
        // desktop", another program) comes straight back: a dialog off the taskbar, or a fake
        // screen, would be lost to the user.
        if (w != SIZE_MINIMIZED)
            break;
        if (isFullScreen())
            m_covers.keepOnTopSoon(m_window);
        else if (window == m_window && !m_description.minButton)
            PostMessageW(m_window, Restore, 0, 0);
        break;
    case Restore:
        if (m_shown && IsIconic(m_window)) {
            ShowWindow(m_window, SW_RESTORE);
            m_zOrder.shown(m_window);
        }
        return 0;
    case WM_DISPLAYCHANGE:
        // Monitors came, went or changed: the covers follow, once this message is over.
        if (window == m_window && isFullScreen())
            m_backend.post([this, alive = lifetime()] {
                if (alive.lock())
                    makeCovers();
            });
        break;
    case WM_GETDPISCALEDSIZE:
        // Per-monitor v2, on the way to a monitor of another scale: a frame does not scale
        // linearly, so the size that keeps the client area's twips is worked out here, and
        // Windows suggests it in the WM_DPICHANGED that follows.
        if (window != m_window || isFullScreen())
            break;
        *reinterpret_cast<SIZE *>(l) = frameSize(static_cast<UINT>(w));
        return TRUE;
    case WM_DPICHANGED: {
        if (window != m_window)
            break;
        if (isFullScreen()) {
            // The fake screen keeps to its monitor, whatever rectangle Windows suggests: its
            // text is laid out again at the new DPI, and the covers follow the monitors.
            followDpi(HIWORD(w));
            m_backend.post([this, alive = lifetime()] {
                if (alive.lock())
                    makeCovers();
            });
            return 0;
        }
        // The suggested rectangle keeps the window where the user dragged it; its size is the
        // client area's at the new DPI in the frame Windows draws, which per-monitor v2
        // suggests itself (WM_GETDPISCALEDSIZE) and version 1 scales linearly. Then the
        // controls, their fonts and the icons follow.
        const auto *suggested = reinterpret_cast<const RECT *>(l);
        const SIZE size = frameSize(HIWORD(w));
        SetWindowPos(m_window, nullptr, suggested->left, suggested->top, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        followDpi(HIWORD(w));
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(window, msg, w, l);
}

LRESULT Win32Window::pictureMessage(HWND window, UINT msg, WPARAM w, LPARAM l)
{
    if (m_widgets.mouse(m_window, window, msg, l))
        return 0;
    switch (msg) {
    case WM_PAINT:
        m_widgets.paintPicture(window, m_look);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_GETDLGCODE:
        return 0; // Enter and Esc go on to the window's buttons
    default:
        break;
    }
    return DefWindowProcW(window, msg, w, l);
}

} // namespace quill::win32
