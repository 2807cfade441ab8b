// SPDX-License-Identifier: MIT
#pragma once

// What the shell's taskbar is told about the fake screens. Marked full screen
// (ITaskbarList2::MarkFullscreenWindow), a window is one the shell treats as full screen, whatever
// its detection of full-screen windows makes of it, and the shell moves the taskbar to the bottom
// of the z-order while that window is active; while another program's window is, the taskbar may
// still come over it (the covers then go back on top, Covers::keepOnTop). A window is marked once
// as it is shown and unmarked as it is hidden. Needs COM on the window thread; where there is no
// taskbar list (no shell, an older system) nothing is marked.

#include <windows.h>

struct ITaskbarList2;

namespace quill::win32 {

class Taskbar {
public:
    Taskbar() = default;
    ~Taskbar();
    Taskbar(const Taskbar &) = delete;
    Taskbar &operator=(const Taskbar &) = delete;

    // Asks the shell for its taskbar list, once, ahead of the first fake screen: under Wine that
    // takes a few milliseconds the fake screen's coming must not wait for.
    void prepare();
    void markFullScreen(HWND window, bool fullScreen);

private:
    ITaskbarList2 *m_list = nullptr;
    bool m_asked = false; // the shell was asked for its taskbar list once, whatever it answered
};

} // namespace quill::win32
