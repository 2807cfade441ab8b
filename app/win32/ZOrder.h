// SPDX-License-Identifier: MIT
#pragma once

// Where a framed window stands among the desktop's windows. Shown, it asks for the foreground;
// Windows refuses it while the user works in another program (the foreground lock), and then the
// window stays above every other one until the user has activated it, so that a dialog that came
// up by itself is not lost behind the program the user works in. While a fake screen is up, a
// window shown over it stays over it until it goes.

#include <windows.h>

#include <memory>

namespace quill::win32 {

class Win32Backend;

class ZOrder {
public:
    explicit ZOrder(Win32Backend &backend) : m_backend(backend) {}

    // The window is on the screen now: on top of the others, in the foreground if Windows lets
    // it. Also for a minimised window restored.
    void shown(HWND window);
    // Above every cover while one is on the screen, an ordinary window again once none is.
    void keepAboveCovers(HWND window, bool above);
    // WM_ACTIVATE or WM_ACTIVATEAPP said the window became active: once it is the foreground
    // window, it need not stay topmost any longer.
    void activated(HWND window);

    bool staysOnTop() const { return m_aboveCovers || m_unnoticed; }

private:
    void toFront(HWND window);
    void apply(HWND window) const;

    Win32Backend &m_backend;
    // - m_aboveCovers: topmost because a fake screen was up when the window was shown; an
    //   ordinary window again when the last cover goes.
    bool m_aboveCovers = false;
    // - m_unnoticed: Windows refused the window the foreground when it was shown, or said yes
    //   while another window stayed in front, so it is topmost until the user activates it.
    bool m_unnoticed = false;
    // A look at the foreground posted for the next turn of the message loop, alive as long as
    // this object: at most one at a time.
    std::shared_ptr<bool> m_lookPosted = std::make_shared<bool>(false);
};

} // namespace quill::win32
