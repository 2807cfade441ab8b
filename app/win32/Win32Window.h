// SPDX-License-Identifier: MIT
#pragma once

// A loaded form's window on Win32: a top-level window with a child window per control, built from
// the description at the window's DPI, and for a full-screen form a borderless topmost cover on
// every other monitor. It reports clicks, timers and close requests to its form and does what the
// runtime tells it; when and in what order is the runtime's.

#include "Backend.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace quill::win32 {

class Win32Backend;

class Win32Window final : public NativeWindow {
public:
    Win32Window(Win32Backend &backend, const WindowDesc &description, const WindowLayout &layout,
                WindowEvents events);
    ~Win32Window() override;
    Win32Window(const Win32Window &) = delete;
    Win32Window &operator=(const Win32Window &) = delete;

    void place(const PixelRect &client) override;
    void map() override;
    void unmap() override;
    void focus(std::string_view control) override;
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, std::string_view text) override;
    std::int16_t value(std::string_view control) const override;
    void setValue(std::string_view control, std::int16_t value) override;
    void setTimer(std::string_view control, std::int32_t interval, bool enabled) override;
    void stopTimers() override;

    HWND handle() const { return m_window; }
    bool owns(HWND window) const;
    bool isFullScreen() const;
    bool coversShown() const { return m_shown && isFullScreen(); }
    // Above every cover while one is on the screen, an ordinary window again once none is.
    void keepAboveCovers(bool above);
    // The focus moved inside the window: the focused push button is the one Enter presses.
    void focusChanged(HWND focus);

    // The window procedure of the window, its covers and its picture boxes.
    LRESULT message(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT pictureMessage(HWND window, UINT message, WPARAM w, LPARAM l);

private:
    struct Control {
        const ControlDesc *desc = nullptr;
        HWND window = nullptr;
        int id = 0;
    };

    void release();
    std::vector<std::pair<const ControlDesc *, HWND>> controlWindows() const;
    void createControls();
    void layOut();
    // Lays the window out again at `dpi`, fonts measured afresh, when that is not its DPI yet.
    void followDpi(UINT dpi);
    void makeCovers();
    void destroyCovers();
    void showCovers();
    const Control *find(std::string_view name) const;
    const Control *findById(int id) const;
    const Control *findByWindow(HWND window) const;
    void command(int id, int code);
    void click(const Control &control);
    // What a press or release at `at` in `window` is on: a label's or picture box's name, or
    // empty for the background.
    std::string targetAt(HWND window, POINT at) const;
    bool mouse(HWND window, UINT message, LPARAM l);
    HBRUSH brush(Colour colour);
    HFONT font(const Font &font);
    void paint(HWND window);
    void paintPicture(HWND window, HDC dc);
    void setDefaultLook(HWND focus);

    Win32Backend &m_backend;
    const WindowDesc &m_description;
    WindowEvents m_events;
    double m_fontScale = 1.0;
    UINT m_dpi = 96;
    HWND m_window = nullptr;
    std::vector<HWND> m_covers; // a full-screen form's other monitors
    std::vector<Monitor> m_monitors; // the monitors the covers were laid out for
    std::vector<Control> m_controls;
    std::map<Colour, HBRUSH> m_brushes;
    std::vector<std::pair<Font, HFONT>> m_fonts;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    HWND m_focus = nullptr; // the control that has, or gets, the focus when the window is active
    HWND m_pressedIn = nullptr;
    std::string m_pressed; // the label or background a press started on
    bool m_pressing = false;
    bool m_shown = false;
    bool m_aboveCovers = false;
};

} // namespace quill::win32
