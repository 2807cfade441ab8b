// SPDX-License-Identifier: MIT
#pragma once

// A full-screen form covers every monitor. Its own window stands on the primary monitor; each
// other monitor gets a borderless topmost cover of the same colour and class, whose messages go
// to the form's window object, so that a click or a close request on one is the window's own.
// The covers are laid out for the monitors as they were when made; while the form is on the
// screen its monitors are looked at again on a window timer as well as on WM_DISPLAYCHANGE,
// since Wine sends none when the X screen changes.

#include "Backend.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace quill::win32 {

class Win32Backend;

class Covers {
public:
    // The window timer of the form's own window that looks at the monitors again; the only
    // window timer the program has (the timer controls are waitable timers).
    static constexpr UINT_PTR MonitorCheck = 1;

    // `owner` is what the covers' messages go to: the form's Win32Window.
    Covers(Win32Backend &backend, const WindowDesc &description, void *owner);
    ~Covers();
    Covers(const Covers &) = delete;
    Covers &operator=(const Covers &) = delete;

    // A cover over every monitor but the primary one, for the monitors there are now; returns
    // the primary monitor's rectangle, where the form's own window goes (none without monitors).
    std::optional<RECT> make();
    void destroy();
    // `window` (the form's own) over the primary monitor, then the covers, all above the taskbar.
    void show(HWND window);
    // The monitor check starts on `window`'s timer; hide() stops it and takes the covers off the
    // screen.
    void watchMonitors(HWND window);
    void hide(HWND window);

    bool owns(HWND window) const;
    // Whether the monitors are no longer those the covers were made for.
    bool outdated() const;

private:
    Win32Backend &m_backend;
    const WindowDesc &m_description;
    void *m_owner;
    std::vector<HWND> m_covers;      // the other monitors' covers
    std::vector<Monitor> m_monitors; // the monitors they were laid out for
};

} // namespace quill::win32
