// SPDX-License-Identifier: MIT
#pragma once

// The controls of one window on Win32: a child window per label, button, check box, text box and
// picture box, and a waitable timer per timer control (lines are drawn by the window itself). They
// are made from the description, stand in tab order among their siblings, are laid out in pixels
// at the window's DPI, and report clicks and timer ticks to the form through WindowEvents. What
// Windows' own controls leave to a dialog is done here: the push button Enter presses, and a
// click on a label, a picture box or the bare background counted as the classic controls count it.

#include "Backend.h"
#include "Look.h"

#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::win32 {

class Win32Backend;

// A click as the classic controls count one: the left button pressed and released on the same
// label, picture box or bare background of the same window.
class ClickWatch {
public:
    void press(HWND window, std::string target);
    // Whether a release in `window` over `target` ends a click: the press was in the same window
    // on the same label, picture box or background.
    bool ends(HWND window, const std::string &target) const;
    void cancel() { m_pressing = false; }
    bool pressing() const { return m_pressing; }
    const std::string &pressed() const { return m_pressed; }

private:
    HWND m_pressedIn = nullptr; // the window the press was in: the form's, a cover or a picture box
    std::string m_pressed;      // the label or picture box it was on; empty for the background
    bool m_pressing = false;    // the left button is down since a press this window saw
};

class Widgets {
public:
    struct Widget {
        const ControlDesc *desc = nullptr;
        HWND window = nullptr; // none for timers and lines
        int id = 0;            // the child window's id, or the timer's in the backend's timers
    };

    Widgets(Win32Backend &backend, const WindowDesc &description, WindowEvents &events);
    ~Widgets();
    Widgets(const Widgets &) = delete;
    Widgets &operator=(const Widgets &) = delete;

    // Makes every control as a child of `parent`; a picture box's messages go to `owner`.
    void create(HWND parent, void *owner);
    // Each control at its rectangle and with its font at the look's DPI and share.
    void layOut(Look &look);
    // The timers go for good: the window is going. The child windows go with it.
    void release();

    const Widget *find(std::string_view name) const;
    const Widget *findByWindow(HWND window) const;
    std::vector<std::pair<const ControlDesc *, HWND>> windows() const;

    std::string text(std::string_view name) const;
    void setText(std::string_view name, std::string_view text);
    std::int16_t value(std::string_view name) const;
    void setValue(std::string_view name, std::int16_t value);
    void setTimer(std::string_view name, std::int32_t interval, bool enabled);
    void stopTimers();

    // WM_COMMAND from a child: a button or check box was pressed (Enter and Esc included).
    void command(int id, int code);
    // The control of `formWindow` that has the focus, or gets it when the window is active.
    void focus(HWND formWindow, std::string_view name);
    // The focus moved to `focus`: remembered where it is a control of `formWindow` (Windows
    // forgets it when the window loses the activation), and the focused push button is the one
    // Enter presses and looks it.
    void focusChanged(HWND formWindow, HWND focus);
    // The window is active again: the control that had the focus gets it back; false when none.
    bool giveFocusBack() const;
    // The answer to DM_GETDEFID: the push button Enter presses now.
    LRESULT defaultId() const;
    // The colours a label, button or check box draws its text and background in (WM_CTLCOLOR*).
    LRESULT colours(HWND control, HDC dc, Look &look) const;

    // A press or release of the left button in `window` (the form's `formWindow`, a cover of it
    // or a picture box); true when the message was one of them.
    bool mouse(HWND formWindow, HWND window, UINT message, LPARAM l);
    void paintPicture(HWND window, Look &look);

private:
    const Widget *findById(int id) const;
    void click(const Widget &widget);
    // What a press or release at `at` in `window` is on: a label's or picture box's name, or
    // empty for the background.
    std::string targetAt(HWND formWindow, HWND window, POINT at) const;

    Win32Backend &m_backend;
    const WindowDesc &m_description;
    WindowEvents &m_events;
    std::vector<Widget> m_widgets;
    ClickWatch m_click;
    HWND m_focus = nullptr; // the control that has the focus, or gets it back on activation
};

} // namespace quill::win32
