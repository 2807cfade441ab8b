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

#include <memory>
#include <optional>
#include <utility>
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
    // `window` (the form's own) over the primary monitor, then the covers, all above the taskbar
    // and marked full screen to it; `activate` makes `window` the active one too.
    void show(HWND window, bool activate);
    // The monitor check starts on `window`'s timer; hide() stops it and takes the covers off the
    // screen.
    void watchMonitors(HWND window);
    void hide(HWND window);

    bool owns(HWND window) const;
    // Whether the monitors are no longer those the covers were made for.
    bool outdated() const;
    // A window of another program that stands above `window` (the form's own) or a cover, over
    // any part of it: a topmost window raised after them, or the taskbar. None when there is none.
    HWND overtaken(HWND window) const;
    // While shown: where another program's window came over them, `window` and the covers go
    // back on top, and the program's own windows shown over them over them again. Now, or at
    // the next turn of the message loop.
    void keepOnTop(HWND window);
    void keepOnTopSoon(HWND window);

private:
    bool unbeatable(HWND window) const;

    Win32Backend &m_backend;
    const WindowDesc &m_description;
    void *m_owner;
    std::vector<HWND> m_covers;      // the other monitors' covers
    std::vector<Monitor> m_monitors; // the monitors they were laid out for
    bool m_shown = false;            // between show() and hide()
    // A window that stayed above the covers right after they were raised over them, and how
    // many times in a row it did (another program may just have raised its window again). The
    // system's own windows in a band above every program's topmost ones stay there every time:
    // they become unbeatable, and are not fought over again.
    std::pair<HWND, int> m_stayedAbove{};
    std::vector<HWND> m_unbeatable;
    // A keepOnTop() posted for the next turn of the message loop, alive as long as the covers:
    // at most one at a time.
    std::shared_ptr<bool> m_checkPosted = std::make_shared<bool>(false);
};

} // namespace quill::win32
