// SPDX-License-Identifier: MIT
#include "Widgets.h"

#include "Layout.h"
#include "RuntimeError.h"
#include "Text.h"
#include "Win32Backend.h"

#include <algorithm>

namespace quill::win32 {
namespace {

constexpr int FirstControlId = 100; // clear of IDOK and IDCANCEL, which only those buttons get

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

void ClickWatch::press(HWND window, std::string target)
{
    m_pressedIn = window;
    m_pressed = std::move(target);
    m_pressing = true;
}

bool ClickWatch::ends(HWND window, const std::string &target) const
{
    return window == m_pressedIn && target == m_pressed;
}

Widgets::Widgets(Win32Backend &backend, const WindowDesc &d, WindowEvents &events)
    : m_backend(backend), m_description(d), m_events(events)
{}

Widgets::~Widgets() { release(); }

void Widgets::release()
{
    for (Widget &w : m_widgets)
        if (w.desc->kind == Kind::Timer && w.id != 0) {
            m_backend.timers().remove(w.id);
            w.id = 0;
        }
}

void Widgets::create(HWND parent, void *owner)
{
    int nextId = FirstControlId;
    for (const ControlDesc &c : m_description.controls) {
        Widget widget{&c, nullptr, 0};
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
                widget.id = m_backend.timers().add(
                    [this, name = std::string(c.name)] { m_events.event(name, Event::Timer); });
            } catch (const std::exception &) {
                throw RuntimeError(ErrorCode::ObjectRequired,
                                   "cannot make the timer " + std::string(c.name));
            }
            m_widgets.push_back(widget);
            m_backend.timers().set(widget.id, c.interval, c.enabled);
            continue;
        case Kind::Line:
            m_widgets.push_back(widget);
            continue;
        }
        // The one button Enter presses gets the id Windows sends for Enter, the one Esc presses
        // the id it sends for Esc; every other control an id clear of both.
        if (c.kind == Kind::CommandButton && c.isDefault)
            widget.id = IDOK;
        else if (c.kind == Kind::CommandButton && c.isCancel)
            widget.id = IDCANCEL;
        else
            widget.id = nextId++;
        widget.window = CreateWindowExW(ex, cls, widen(c.caption).c_str(), style, 0, 0, 0, 0, parent,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(widget.id)),
                                        m_backend.instance(), owner);
        if (!widget.window)
            throw RuntimeError(ErrorCode::ObjectRequired, "cannot make the control " + std::string(c.name));
        if (c.kind == Kind::CheckBox)
            SendMessageW(widget.window, BM_SETCHECK, static_cast<WPARAM>(c.value), 0);
        m_widgets.push_back(widget);
    }
    // Tab order is sibling order.
    HWND after = HWND_TOP;
    for (const ControlDesc *c : zOrder(m_description)) {
        const Widget *widget = find(c->name);
        if (!widget || !widget->window)
            continue;
        SetWindowPos(widget->window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = widget->window;
    }
}

void Widgets::layOut(Look &look)
{
    for (const Widget &w : m_widgets) {
        if (!w.window)
            continue;
        const ControlDesc &c = *w.desc;
        const PixelRect box = toPixels(c.rect, look.dpi());
        SetWindowPos(w.window, nullptr, box.x, box.y, box.width, box.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // Redrawn at once only where it shows: a window still being made is painted whole as it
        // comes, and a redraw now would be work for nothing (under Wine a trip to the X server
        // for each control).
        SendMessageW(w.window, WM_SETFONT,
                     reinterpret_cast<WPARAM>(look.font(c.font.value_or(DefaultFont))),
                     IsWindowVisible(w.window));
    }
}

const Widgets::Widget *Widgets::find(std::string_view name) const
{
    for (const Widget &w : m_widgets)
        if (w.desc->name == name)
            return &w;
    return nullptr;
}

const Widgets::Widget *Widgets::findById(int id) const
{
    for (const Widget &w : m_widgets)
        if (w.window && w.id == id)
            return &w;
    return nullptr;
}

const Widgets::Widget *Widgets::findByWindow(HWND window) const
{
    for (const Widget &w : m_widgets)
        if (w.window && w.window == window)
            return &w;
    return nullptr;
}

std::vector<std::pair<const ControlDesc *, HWND>> Widgets::windows() const
{
    std::vector<std::pair<const ControlDesc *, HWND>> found;
    for (const Widget &w : m_widgets)
        if (w.window)
            found.emplace_back(w.desc, w.window);
    return found;
}

std::string Widgets::text(std::string_view name) const
{
    const Widget *w = find(name);
    if (!w || !w->window)
        return {};
    const int length = GetWindowTextLengthW(w->window);
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(w->window, wide.data(), length + 1);
    wide.resize(static_cast<std::size_t>(std::max(got, 0)));
    return narrow(wide);
}

void Widgets::setText(std::string_view name, std::string_view text)
{
    if (const Widget *w = find(name); w && w->window)
        SetWindowTextW(w->window, widen(text).c_str());
}

std::int16_t Widgets::value(std::string_view name) const
{
    const Widget *w = find(name);
    if (!w || !w->window || w->desc->kind != Kind::CheckBox)
        return 0;
    const LRESULT state = SendMessageW(w->window, BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
}

void Widgets::setValue(std::string_view name, std::int16_t value)
{
    const Widget *w = find(name);
    if (w && w->window && w->desc->kind == Kind::CheckBox)
        SendMessageW(w->window, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void Widgets::setTimer(std::string_view name, std::int32_t interval, bool enabled)
{
    const Widget *w = find(name);
    if (!w || w->desc->kind != Kind::Timer || w->id == 0)
        return;
    // The period counts from now; the tick comes through the message loop, so never inside the
    // handler that set the timer going.
    m_backend.timers().set(w->id, interval, enabled);
}

void Widgets::stopTimers()
{
    for (const Widget &w : m_widgets)
        if (w.desc->kind == Kind::Timer && w.id != 0)
            m_backend.timers().set(w.id, 0, false);
}

void Widgets::click(const Widget &widget)
{
    if (widget.desc->kind == Kind::CheckBox) {
        const std::int16_t now = value(widget.desc->name);
        setValue(widget.desc->name, now == 1 ? 0 : 1);
    }
    m_events.event(widget.desc->name, Event::Click);
}

void Widgets::command(int id, int code)
{
    if (code != BN_CLICKED)
        return;
    const Widget *widget = findById(id);
    if (!widget && id == IDCANCEL) {
        // Esc: the cancel button, where the window has one.
        for (const Widget &w : m_widgets)
            if (w.window && w.desc->kind == Kind::CommandButton && w.desc->isCancel)
                widget = &w;
    }
    if (widget && IsWindowEnabled(widget->window))
        click(*widget);
}

void Widgets::focus(HWND formWindow, std::string_view name)
{
    const Widget *w = find(name);
    if (!w || !w->window)
        return;
    m_focus = w->window;
    if (GetActiveWindow() == formWindow)
        SetFocus(m_focus);
}

bool Widgets::giveFocusBack() const
{
    if (!m_focus || !IsWindow(m_focus))
        return false;
    SetFocus(m_focus);
    return true;
}

void Widgets::focusChanged(HWND formWindow, HWND focus)
{
    if (focus && focus != formWindow && GetAncestor(focus, GA_ROOT) == formWindow)
        m_focus = focus;
    // The focused push button is the one Enter presses and looks it; elsewhere the window's
    // default button, if it has one.
    const Widget *focused = findByWindow(focus);
    const bool onButton = focused && focused->desc->kind == Kind::CommandButton;
    for (const Widget &w : m_widgets) {
        if (!w.window || w.desc->kind != Kind::CommandButton)
            continue;
        const bool isDefault = onButton ? &w == focused : w.desc->isDefault;
        SendMessageW(w.window, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

LRESULT Widgets::defaultId() const
{
    // Enter presses the focused push button, else the window's default button; a window with
    // neither has none.
    const Widget *focused = findByWindow(GetFocus());
    if (focused && focused->desc->kind == Kind::CommandButton)
        return MAKELRESULT(focused->id, DC_HASDEFID);
    for (const Widget &w : m_widgets)
        if (w.window && w.desc->kind == Kind::CommandButton && w.desc->isDefault)
            return MAKELRESULT(w.id, DC_HASDEFID);
    return 0;
}

LRESULT Widgets::colours(HWND control, HDC dc, Look &look) const
{
    const Widget *w = findByWindow(control);
    if (!w)
        return 0;
    const ControlDesc &c = *w->desc;
    // Without a colour of its own a control shows its window's background.
    const Colour back = c.backColour.value_or(m_description.backColour.value_or(colours::ButtonFace));
    // The scheme's colours, unless they make the text vanish into its background.
    const Colour backRgb = toRgb(back, m_backend);
    const Colour fore = toRgb(c.foreColour.value_or(colours::ButtonText), m_backend);
    SetTextColor(dc, static_cast<COLORREF>(readableOn(fore, backRgb)));
    SetBkColor(dc, static_cast<COLORREF>(backRgb));
    return reinterpret_cast<LRESULT>(look.brush(back));
}

std::string Widgets::targetAt(HWND formWindow, HWND window, POINT at) const
{
    if (const Widget *w = findByWindow(window))
        return std::string(w->desc->name); // a picture box
    if (window != formWindow)
        return {}; // a cover is all background
    const HWND child = ChildWindowFromPointEx(formWindow, at, CWP_SKIPINVISIBLE);
    if (const Widget *w = findByWindow(child); w && w->desc->kind == Kind::Label)
        return std::string(w->desc->name);
    return {};
}

bool Widgets::mouse(HWND formWindow, HWND window, UINT msg, LPARAM l)
{
    // Buttons and check boxes count their own clicks.
    const POINT at{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (findByWindow(window))
            SetFocus(window); // a picture box takes the focus
        m_click.press(window, targetAt(formWindow, window, at));
        SetCapture(window);
        return true;
    case WM_LBUTTONUP: {
        if (!m_click.pressing())
            return true;
        m_click.cancel();
        ReleaseCapture();
        RECT client;
        GetClientRect(window, &client);
        if (PtInRect(&client, at) && m_click.ends(window, targetAt(formWindow, window, at)))
            m_events.event(m_click.pressed(), Event::Click);
        return true;
    }
    case WM_CAPTURECHANGED:
        m_click.cancel();
        return true;
    default:
        return false;
    }
}

void Widgets::paintPicture(HWND window, Look &look)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    const Widget *w = findByWindow(window);
    const Colour back = w && w->desc->backColour
                            ? *w->desc->backColour
                            : m_description.backColour.value_or(colours::ButtonFace);
    drawPicture(dc, r, w ? w->desc->picture : Picture::None, look.brush(back));
    EndPaint(window, &ps);
}

} // namespace quill::win32
