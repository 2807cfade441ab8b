// SPDX-License-Identifier: MIT
#pragma once

// A loaded form's window on Win32: a top-level window with its controls (Widgets), built from the
// description at the window's DPI, and for a full-screen form the covers of the other monitors
// (Covers). It reports clicks, timers and close requests to its form and does what the runtime
// tells it; when and in what order is the runtime's.

#include "Backend.h"
#include "Covers.h"
#include "Look.h"
#include "Widgets.h"
#include "ZOrder.h"

#include <windows.h>

#include <string>

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
    // The window itself or one of its covers.
    bool owns(HWND window) const;
    bool isFullScreen() const;
    bool coversShown() const { return m_shown && isFullScreen(); }
    // Above every cover while one is on the screen, an ordinary window again once none is.
    void keepAboveCovers(bool above);
    // What a screen reader hears of the window and its controls, once COM has started.
    void describe();
    // The focus moved inside the window: the focused push button is the one Enter presses.
    void focusChanged(HWND focus);

    // The window procedure of the window, its covers and its picture boxes.
    LRESULT message(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT pictureMessage(HWND window, UINT message, WPARAM w, LPARAM l);

private:
    void release();
    // The controls, their fonts and the window's icons at the look's DPI.
    void layOut();
    // The outer size of the window whose client area is the description's at `dpi`.
    SIZE frameSize(UINT dpi) const;
    // Lays the window out again at `dpi`, fonts measured afresh, when that is not its DPI yet.
    void followDpi(UINT dpi);
    // The covers made again for the monitors there are now, the window over the primary one.
    void makeCovers();
    void paint(HWND window);

    Win32Backend &m_backend;
    const WindowDesc &m_description;
    WindowEvents m_events;
    Look m_look;       // the brushes, fonts and icons, at the window's DPI
    Widgets m_widgets; // uses m_events and m_look's fonts: after them
    Covers m_covers;   // a full-screen form's other monitors
    ZOrder m_zOrder;   // a framed window's place among the desktop's windows
    HWND m_window = nullptr;

    // What the window procedure keeps between messages (the focused control is the widgets'):
    // - m_shown: the runtime mapped the window and has not unmapped it. A minimised dialog comes
    //   back only while it is set, and the monitor check only covers monitors while it is.
    bool m_shown = false;
};

} // namespace quill::win32
