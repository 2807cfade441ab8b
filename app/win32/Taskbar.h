// SPDX-License-Identifier: MIT
#pragma once

// What the shell's taskbar is told about the fake screens. A borderless window the size of a
// monitor counts as full screen to the shell only while it is the active window; a fake screen
// that came up while the user worked in another program is not active, and the taskbar would stay
// above it. Marked full screen (ITaskbarList2::MarkFullscreenWindow), the taskbar goes below it
// whatever has the foreground. Needs COM on the window thread; where there is no taskbar list
// (no shell, an older system) nothing is marked.

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
