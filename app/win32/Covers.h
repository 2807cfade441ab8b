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
    // `window` (the form's own) over the primary monitor, then the covers, all above the taskbar,
    // marked full screen to it once per showing, and on the virtual desktop in front; `activate`
    // makes `window` the active one too.
    void show(HWND window, bool activate);
    // The monitor check starts on `window`'s timer; hide() stops it and takes the covers off the
    // screen.
    void watchMonitors(HWND window);
    void hide(HWND window);

    bool owns(HWND window) const;
    // Whether the monitors are no longer those the covers were made for.
    bool outdated() const;
    // While shown: a minimised window of the fake screen is restored, and where another
    // program's window came over them, `window` and the covers go back on top as often as the
    // pace of the fight allows, the program's own windows shown over them over them again. Now,
    // or at the next turn of the message loop.
    void keepOnTop(HWND window);
    void keepOnTopSoon(HWND window);

private:
    // Another program's window that stayed above the fake screen right after it was raised.
    struct Stayed {
        HWND window = nullptr;
        int times = 0;         // raises in a row
        ULONGLONG givenUp = 0; // when it was given up on (GetTickCount64), or 0
    };

    // `window` and the covers.
    std::vector<HWND> all(HWND window) const;
    void raise(HWND window, bool activate);
    // Other programs' windows above `window` or a cover, over any part of it: topmost windows
    // raised after them, or the taskbar; none given up on and still let be at `now`.
    std::vector<HWND> overtakers(HWND window, ULONGLONG now) const;

    Win32Backend &m_backend;
    const WindowDesc &m_description;
    void *m_owner;
    std::vector<HWND> m_covers;      // the other monitors' covers
    std::vector<Monitor> m_monitors; // the monitors they were laid out for
    bool m_shown = false;            // between show() and hide()
    std::vector<HWND> m_marked;      // marked full screen in this showing
    // The fight with other programs' windows that keep coming back above the fake screen: the
    // raises in it, when the next may come, and when one of them was last found above.
    int m_raises = 0;
    ULONGLONG m_next = 0;
    ULONGLONG m_lastAbove = 0;
    std::vector<Stayed> m_stayed;
    // A keepOnTop() posted for the next turn of the message loop, alive as long as the covers:
    // at most one at a time.
    std::shared_ptr<bool> m_checkPosted = std::make_shared<bool>(false);
};

} // namespace quill::win32
