// SPDX-License-Identifier: MIT
#include "Win32Window.h"

#include "Dpi.h"
#include "Layout.h"
#include "Picture.h"
#include "RuntimeError.h"
#include "Text.h"
#include "Win32Backend.h"

#include <algorithm>

namespace quill::win32 {
namespace {

constexpr int FirstControlId = 100; // clear of IDOK and IDCANCEL, which only those buttons get
constexpr UINT Restore = WM_APP + 2;
// While a fake screen is up its monitors are looked at this often as well as on WM_DISPLAYCHANGE:
// Wine sends none when the X screen changes, though it reports the new monitors.
constexpr UINT_PTR MonitorCheck = 1; // the one window timer: the timer controls are waitable timers
constexpr UINT MonitorCheckMs = 250;
constexpr int ProgramIcon = 1; // resources/quillendor.rc

DWORD styleOf(const WindowDesc &d)
{
    if (d.border == Border::None)
        return WS_POPUP | WS_CLIPCHILDREN;
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (d.minButton)
        style |= WS_MINIMIZEBOX;
    if (d.maxButton)
        style |= WS_MAXIMIZEBOX;
    return style;
}

DWORD exStyleOf(const WindowDesc &d)
{
    DWORD ex = WS_EX_CONTROLPARENT;
    if (d.border == Border::FixedDialog)
        ex |= WS_EX_DLGMODALFRAME;
    // A full-screen cover stays above every ordinary window, the taskbar included, and off the
    // taskbar; a window with a frame is kept off the taskbar by its owner instead, so it stays
    // in Alt+Tab.
    if (quill::isFullScreen(d)) {
        ex |= WS_EX_TOPMOST;
        if (!d.showInTaskbar)
            ex |= WS_EX_TOOLWINDOW;
    }
    return ex;
}

RECT toRect(const PixelRect &r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

// What the covers are laid out from: where the monitors are and at what DPI.
bool sameMonitors(const std::vector<Monitor> &a, const std::vector<Monitor> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Monitor &x, const Monitor &y) {
        return x.geometry == y.geometry && x.dpi == y.dpi;
    });
}

bool sameFont(const Font &a, const Font &b)
{
    return a.face == b.face && a.points == b.points && a.weight == b.weight;
}

// The order the controls stand in among their siblings, which is the order Tab goes through
// them: by tab index, and a label that names a control just before that control, where a screen
// reader looks for an edit box's name.
std::vector<const ControlDesc *> zOrder(const WindowDesc &d)
{
    std::vector<const ControlDesc *> order;
    for (const ControlDesc &c : d.controls)
        if (c.kind != Kind::Timer && c.kind != Kind::Line)
            order.push_back(&c);
    std::stable_sort(order.begin(), order.end(), [](const auto *a, const auto *b) {
        return a->tabIndex < b->tabIndex;
    });
    for (const ControlDesc &c : d.controls) {
        if (c.labelledBy.empty())
            continue;
        auto label = std::find_if(order.begin(), order.end(), [&](const auto *l) {
            return l->kind == Kind::Label && l->name == c.labelledBy;
        });
        if (label == order.end())
            continue;
        const ControlDesc *moved = *label;
        order.erase(label);
        auto target = std::find(order.begin(), order.end(), &c);
        order.insert(target, moved);
    }
    return order;
}

} // namespace

Win32Window::Win32Window(Win32Backend &backend, const WindowDesc &d, const WindowLayout &layout,
                         WindowEvents events)
    : m_backend(backend), m_description(d), m_events(std::move(events)),
      m_fontScale(layout.fontScale)
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
    m_dpi = dpiOf(m_window);
    if (m_dpi != layoutDpi) {
        // Made on a monitor of another DPI than the runtime laid it out for: the fonts are
        // measured again at the window's DPI, and the client area's size follows it.
        m_fontScale = fontScale(d, m_dpi, backend);
        if (!quill::isFullScreen(d)) {
            const RECT client{0, 0, toPixels(d.client.width, m_dpi),
                              toPixels(d.client.height, m_dpi)};
            const RECT f = frameAround(client, style, ex, m_dpi);
            SetWindowPos(m_window, nullptr, 0, 0, f.right - f.left, f.bottom - f.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (d.icon != Picture::None) {
        const auto load = [&](int metricX, int metricY) {
            return static_cast<HICON>(LoadImageW(backend.instance(), MAKEINTRESOURCEW(ProgramIcon),
                                                 IMAGE_ICON, systemMetric(metricX, m_dpi),
                                                 systemMetric(metricY, m_dpi), LR_DEFAULTCOLOR));
        };
        m_bigIcon = load(SM_CXICON, SM_CYICON);
        m_smallIcon = load(SM_CXSMICON, SM_CYSMICON);
        SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));
        SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    }
    try {
        createControls();
        m_backend.screenReader().describe(m_window, d, controlWindows());
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
    for (const Control &c : m_controls)
        if (c.desc->kind == Kind::Timer)
            m_backend.timers().remove(c.id);
    destroyCovers();
    if (m_window) {
        const HWND window = m_window;
        m_backend.screenReader().forget(window, controlWindows());
        m_window = nullptr;
        DestroyWindow(window);
    }
    for (auto &[colour, b] : m_brushes)
        DeleteObject(b);
    for (auto &[f, handle] : m_fonts)
        DeleteObject(handle);
    if (m_bigIcon)
        DestroyIcon(m_bigIcon);
    if (m_smallIcon)
        DestroyIcon(m_smallIcon);
    m_brushes.clear();
    m_fonts.clear();
    m_bigIcon = m_smallIcon = nullptr;
}

std::vector<std::pair<const ControlDesc *, HWND>> Win32Window::controlWindows() const
{
    std::vector<std::pair<const ControlDesc *, HWND>> found;
    for (const Control &c : m_controls)
        if (c.window)
            found.emplace_back(c.desc, c.window);
    return found;
}

void Win32Window::createControls()
{
    const WindowDesc &d = m_description;
    int nextId = FirstControlId;
    for (const ControlDesc &c : d.controls) {
        Control control{&c, nullptr, 0};
        const wchar_t *cls = nullptr;
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD ex = 0;
        switch (c.kind) {
        case Kind::Label:
            // Word-wrapped; without SS_NOTIFY it lets the mouse through to the window, which
            // tells a click on a label from one on the background.
            cls = L"STATIC";
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case Kind::CommandButton:
            cls = L"BUTTON";
            style |= WS_TABSTOP | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            break;
        case Kind::CheckBox:
            // Three values; a click toggles 0 and 1 in code, never through the grayed state.
            cls = L"BUTTON";
            style |= WS_TABSTOP | BS_3STATE;
            break;
        case Kind::TextBox:
            cls = L"EDIT";
            style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
            ex |= WS_EX_CLIENTEDGE;
            break;
        case Kind::PictureBox:
            cls = Win32Backend::PictureClass;
            style |= WS_TABSTOP;
            break;
        case Kind::Timer:
            // A waitable timer of the backend's: high-resolution ones are precise to about a
            // millisecond, where a window timer follows the system's tick of about 15.6 ms.
            try {
                control.id = m_backend.timers().add(
                    [this, name = std::string(c.name)] { m_events.event(name, Event::Timer); });
            } catch (const std::exception &) {
                throw RuntimeError(ErrorCode::ObjectRequired,
                                   "cannot make the timer " + std::string(c.name));
            }
            m_controls.push_back(control);
            m_backend.timers().set(control.id, c.interval, c.enabled);
            continue;
        case Kind::Line:
            m_controls.push_back(control);
            continue;
        }
        // The one button Enter presses gets the id Windows sends for Enter, the one Esc presses
        // the id it sends for Esc; every other control an id clear of both.
        if (c.kind == Kind::CommandButton && c.isDefault)
            control.id = IDOK;
        else if (c.kind == Kind::CommandButton && c.isCancel)
            control.id = IDCANCEL;
        else
            control.id = nextId++;
        control.window = CreateWindowExW(ex, cls, widen(c.caption).c_str(), style, 0, 0, 0, 0,
                                         m_window,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                         m_backend.instance(), this);
        if (!control.window)
            throw RuntimeError(ErrorCode::ObjectRequired, "cannot make the control " + std::string(c.name));
        if (c.kind == Kind::CheckBox)
            SendMessageW(control.window, BM_SETCHECK, static_cast<WPARAM>(c.value), 0);
        m_controls.push_back(control);
    }
    // Tab order is sibling order.
    HWND after = HWND_TOP;
    for (const ControlDesc *c : zOrder(d)) {
        const Control *control = find(c->name);
        if (!control || !control->window)
            continue;
        SetWindowPos(control->window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control->window;
    }
}

void Win32Window::layOut()
{
    // A control keeps drawing with the font it was given until it gets another, so the old fonts
    // go only once every control has its new one.
    const auto old = std::move(m_fonts);
    m_fonts.clear();
    for (const Control &control : m_controls) {
        if (!control.window)
            continue;
        const ControlDesc &c = *control.desc;
        const PixelRect box = toPixels(c.rect, m_dpi);
        SetWindowPos(control.window, nullptr, box.x, box.y, box.width, box.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control.window, WM_SETFONT,
                     reinterpret_cast<WPARAM>(font(c.font.value_or(DefaultFont))), TRUE);
    }
    for (const auto &[f, handle] : old)
        DeleteObject(handle);
}

void Win32Window::followDpi(UINT dpi)
{
    if (dpi == 0 || dpi == m_dpi)
        return;
    m_dpi = dpi;
    m_fontScale = fontScale(m_description, m_dpi, m_backend);
    layOut();
    InvalidateRect(m_window, nullptr, TRUE);
}

HFONT Win32Window::font(const Font &f)
{
    for (auto &[known, handle] : m_fonts)
        if (sameFont(known, f))
            return handle;
    HFONT made = makeFont(f, m_fontScale, m_dpi);
    m_fonts.emplace_back(f, made);
    return made;
}

HBRUSH Win32Window::brush(Colour colour)
{
    const Colour rgb = toRgb(colour, m_backend);
    auto it = m_brushes.find(rgb);
    if (it != m_brushes.end())
        return it->second;
    HBRUSH made = CreateSolidBrush(static_cast<COLORREF>(rgb));
    m_brushes.emplace(rgb, made);
    return made;
}

bool Win32Window::isFullScreen() const { return quill::isFullScreen(m_description); }

bool Win32Window::owns(HWND window) const
{
    return window && (window == m_window
                      || std::find(m_covers.begin(), m_covers.end(), window) != m_covers.end());
}

void Win32Window::makeCovers()
{
    destroyCovers();
    const std::vector<Monitor> monitors = m_backend.monitors();
    m_monitors = monitors;
    for (const CoverPlace &place : layCovers(monitors)) {
        const RECT r = toRect(place.rect);
        if (place.formWindow) {
            SetWindowPos(m_window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            // The primary monitor may be another one now, or the same at another DPI.
            followDpi(dpiOf(m_window));
            continue;
        }
        const HWND cover = CreateWindowExW(exStyleOf(m_description), Win32Backend::FormClass,
                                           widen(m_description.caption).c_str(), styleOf(m_description),
                                           r.left, r.top, r.right - r.left, r.bottom - r.top,
                                           nullptr, nullptr, m_backend.instance(), this);
        if (cover)
            m_covers.push_back(cover);
    }
    if (m_shown)
        showCovers();
}

void Win32Window::destroyCovers()
{
    auto covers = std::move(m_covers);
    m_covers.clear();
    for (HWND cover : covers)
        DestroyWindow(cover);
}

void Win32Window::showCovers()
{
    // The form's window over the primary monitor, then the covers, all above the taskbar.
    SetWindowPos(m_window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    for (HWND cover : m_covers)
        SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Win32Window::place(const PixelRect &client)
{
    if (isFullScreen())
        return;
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_STYLE));
    const DWORD ex = static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_EXSTYLE));
    const RECT frame = frameAround(toRect(client), style, ex, m_dpi);
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
        if (!sameMonitors(m_backend.monitors(), m_monitors))
            makeCovers();
        showCovers();
        SetTimer(m_window, MonitorCheck, MonitorCheckMs, nullptr);
        SetForegroundWindow(m_window);
        return;
    }
    if (IsIconic(m_window))
        ShowWindow(m_window, SW_RESTORE);
    // While a fake screen is up, a window shown above it stays above it until it goes.
    keepAboveCovers(m_backend.coversShown());
    SetWindowPos(m_window, m_aboveCovers ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(m_window);
}

void Win32Window::keepAboveCovers(bool above)
{
    if (above == m_aboveCovers || isFullScreen())
        return;
    m_aboveCovers = above;
    if (m_window && IsWindowVisible(m_window))
        SetWindowPos(m_window, above ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32Window::unmap()
{
    if (!m_window)
        return;
    const bool covered = coversShown();
    m_shown = false;
    KillTimer(m_window, MonitorCheck);
    for (HWND cover : m_covers)
        ShowWindow(cover, SW_HIDE);
    ShowWindow(m_window, SW_HIDE);
    if (covered)
        m_backend.coversChanged();
}

void Win32Window::focus(std::string_view name)
{
    const Control *control = find(name);
    if (!control || !control->window)
        return;
    m_focus = control->window;
    if (GetActiveWindow() == m_window)
        SetFocus(m_focus);
}

const Win32Window::Control *Win32Window::find(std::string_view name) const
{
    for (const Control &c : m_controls)
        if (c.desc->name == name)
            return &c;
    return nullptr;
}

const Win32Window::Control *Win32Window::findById(int id) const
{
    for (const Control &c : m_controls)
        if (c.window && c.id == id)
            return &c;
    return nullptr;
}

const Win32Window::Control *Win32Window::findByWindow(HWND window) const
{
    for (const Control &c : m_controls)
        if (c.window && c.window == window)
            return &c;
    return nullptr;
}

std::string Win32Window::text(std::string_view name) const
{
    const Control *control = find(name);
    if (!control || !control->window)
        return {};
    const int length = GetWindowTextLengthW(control->window);
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(control->window, wide.data(), length + 1);
    wide.resize(static_cast<std::size_t>(std::max(got, 0)));
    return narrow(wide);
}

void Win32Window::setText(std::string_view name, std::string_view text)
{
    if (const Control *control = find(name); control && control->window)
        SetWindowTextW(control->window, widen(text).c_str());
}

std::int16_t Win32Window::value(std::string_view name) const
{
    const Control *control = find(name);
    if (!control || !control->window || control->desc->kind != Kind::CheckBox)
        return 0;
    const LRESULT state = SendMessageW(control->window, BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
}

void Win32Window::setValue(std::string_view name, std::int16_t value)
{
    const Control *control = find(name);
    if (control && control->window && control->desc->kind == Kind::CheckBox)
        SendMessageW(control->window, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void Win32Window::setTimer(std::string_view name, std::int32_t interval, bool enabled)
{
    const Control *control = find(name);
    if (!control || control->desc->kind != Kind::Timer || !m_window)
        return;
    // The period counts from now; the tick comes through the message loop, so never inside the
    // handler that set the timer going.
    m_backend.timers().set(control->id, interval, enabled);
}

void Win32Window::stopTimers()
{
    if (!m_window)
        return;
    for (const Control &c : m_controls)
        if (c.desc->kind == Kind::Timer)
            m_backend.timers().set(c.id, 0, false);
}

void Win32Window::click(const Control &control)
{
    if (control.desc->kind == Kind::CheckBox) {
        const std::int16_t now = value(control.desc->name);
        setValue(control.desc->name, now == 1 ? 0 : 1);
    }
    m_events.event(control.desc->name, Event::Click);
}

void Win32Window::command(int id, int code)
{
    if (code != BN_CLICKED)
        return;
    const Control *control = findById(id);
    if (!control && id == IDCANCEL) {
        // Esc: the cancel button, where the window has one.
        for (const Control &c : m_controls)
            if (c.window && c.desc->kind == Kind::CommandButton && c.desc->isCancel)
                control = &c;
    }
    if (control && IsWindowEnabled(control->window))
        click(*control);
}

void Win32Window::focusChanged(HWND focus)
{
    if (GetAncestor(focus, GA_ROOT) == m_window && focus != m_window)
        m_focus = focus;
    setDefaultLook(focus);
}

void Win32Window::setDefaultLook(HWND focus)
{
    // The focused push button is the one Enter presses and looks it; elsewhere the window's
    // default button, if it has one.
    const Control *focused = findByWindow(focus);
    const bool onButton = focused && focused->desc->kind == Kind::CommandButton;
    for (const Control &c : m_controls) {
        if (!c.window || c.desc->kind != Kind::CommandButton)
            continue;
        const bool isDefault = onButton ? &c == focused : c.desc->isDefault;
        SendMessageW(c.window, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

std::string Win32Window::targetAt(HWND window, POINT at) const
{
    if (const Control *control = findByWindow(window))
        return std::string(control->desc->name); // a picture box
    if (window != m_window)
        return {}; // a cover is all background
    const HWND child = ChildWindowFromPointEx(m_window, at, CWP_SKIPINVISIBLE);
    if (const Control *control = findByWindow(child); control && control->desc->kind == Kind::Label)
        return std::string(control->desc->name);
    return {};
}

void Win32Window::paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (window == m_window) {
        // Each line covers its width in rows from its end points' row down, so a two-pixel white
        // line right under a one-pixel grey one leaves both seen: an etched rule.
        for (const Control &control : m_controls) {
            const ControlDesc &c = *control.desc;
            if (c.kind != Kind::Line)
                continue;
            const int x1 = toPixels(c.x1, m_dpi), y1 = toPixels(c.y1, m_dpi);
            const int x2 = toPixels(c.x2, m_dpi), y2 = toPixels(c.y2, m_dpi);
            const int w = std::max<int>(1, c.lineWidth);
            RECT r = y1 == y2 ? RECT{std::min(x1, x2), y1, std::max(x1, x2), y1 + w}
                              : RECT{x1, std::min(y1, y2), x1 + w, std::max(y1, y2)};
            FillRect(dc, &r, brush(c.lineColour));
        }
    }
    EndPaint(window, &ps);
}

bool Win32Window::mouse(HWND window, UINT msg, LPARAM l)
{
    // A click is a press and a release of the left button on the same label, picture box or bare
    // background; buttons and check boxes count their own.
    const POINT at{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (findByWindow(window))
            SetFocus(window); // a picture box takes the focus
        m_pressed = targetAt(window, at);
        m_pressedIn = window;
        m_pressing = true;
        SetCapture(window);
        return true;
    case WM_LBUTTONUP: {
        if (!m_pressing)
            return true;
        m_pressing = false;
        ReleaseCapture();
        RECT client;
        GetClientRect(window, &client);
        if (window == m_pressedIn && PtInRect(&client, at) && targetAt(window, at) == m_pressed)
            m_events.event(m_pressed, Event::Click);
        return true;
    }
    case WM_CAPTURECHANGED:
        m_pressing = false;
        return true;
    default:
        return false;
    }
}

LRESULT Win32Window::message(HWND window, UINT msg, WPARAM w, LPARAM l)
{
    if (mouse(window, msg, l))
        return 0;
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(w), &r,
                 brush(m_description.backColour.value_or(colours::ButtonFace)));
        return 1;
    }
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const Control *control = findByWindow(reinterpret_cast<HWND>(l));
        if (!control)
            break;
        const ControlDesc &c = *control->desc;
        // Without a colour of its own a control shows its window's background.
        const Colour back =
            c.backColour.value_or(m_description.backColour.value_or(colours::ButtonFace));
        HDC dc = reinterpret_cast<HDC>(w);
        // The scheme's colours, unless they make the text vanish into its background.
        const Colour backRgb = toRgb(back, m_backend);
        const Colour fore = toRgb(c.foreColour.value_or(colours::ButtonText), m_backend);
        SetTextColor(dc, static_cast<COLORREF>(readableOn(fore, backRgb)));
        SetBkColor(dc, static_cast<COLORREF>(backRgb));
        return reinterpret_cast<LRESULT>(brush(back));
    }
    case WM_COMMAND:
        command(LOWORD(w), HIWORD(w));
        return 0;
    case DM_GETDEFID: {
        // Enter presses the focused push button, else the window's default button; a window with
        // neither has none.
        const Control *focused = findByWindow(GetFocus());
        if (focused && focused->desc->kind == Kind::CommandButton)
            return MAKELRESULT(focused->id, DC_HASDEFID);
        for (const Control &c : m_controls)
            if (c.window && c.desc->kind == Kind::CommandButton && c.desc->isDefault)
                return MAKELRESULT(c.id, DC_HASDEFID);
        return 0;
    }
    case WM_TIMER:
        if (w == MonitorCheck) {
            if (window == m_window && m_shown && !sameMonitors(m_backend.monitors(), m_monitors))
                makeCovers();
            return 0;
        }
        break;
    case WM_CLOSE:
        // The close box, Alt+F4, the taskbar's Close: the form decides, never DefWindowProc.
        m_events.closeRequest();
        return 0;
    case WM_QUERYENDSESSION:
        // A real shutdown or sign-out is never held up.
        return TRUE;
    case WM_ACTIVATE:
        if (window != m_window)
            break;
        if (LOWORD(w) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && GetAncestor(focus, GA_ROOT) == m_window && focus != m_window)
                m_focus = focus;
        } else if (m_focus && IsWindow(m_focus)) {
            SetFocus(m_focus);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (window == m_window && m_focus && IsWindow(m_focus)) {
            SetFocus(m_focus);
            return 0;
        }
        break;
    case WM_SIZE:
        // A window without a minimize button that is minimized all the same (Win+D, "Show the
        // desktop") comes straight back: a dialog off the taskbar would be lost to the user.
        if (w == SIZE_MINIMIZED && window == m_window && !m_description.minButton
            && m_description.border != Border::None)
            PostMessageW(m_window, Restore, 0, 0);
        break;
    case Restore:
        if (m_shown && IsIconic(m_window)) {
            ShowWindow(m_window, SW_RESTORE);
            SetForegroundWindow(m_window);
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
        // The suggested rectangle keeps the window where the user dragged it, at the client size
        // of the new DPI; then the controls and their fonts follow.
        const auto *suggested = reinterpret_cast<const RECT *>(l);
        SetWindowPos(m_window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
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
    if (mouse(window, msg, l))
        return 0;
    const Control *control = findByWindow(window);
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        const Colour back = control && control->desc->backColour
                                ? *control->desc->backColour
                                : m_description.backColour.value_or(colours::ButtonFace);
        FillRect(dc, &r, brush(back));
        if (control && control->desc->picture == Picture::QuestionMark)
            drawQuestionMark(dc, r);
        EndPaint(window, &ps);
        return 0;
    }
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
