// SPDX-License-Identifier: MIT
#pragma once

// Which virtual desktop the fake screen comes on. Every window belongs to a virtual desktop, tool
// windows included, and a window made ahead of the delay belongs to the one the user was on when
// it was made; a user who moved to another desktop during the delay would not see it come. As the
// fake screen is shown, its windows that are not on the desktop in front are moved there
// (IVirtualDesktopManager). The desktop in front is that of the foreground window; when no window
// of it tells (an empty desktop, where the shell's own windows, on every desktop, are in front), a
// window made at that moment does, since a new window comes on the desktop in front. Needs COM on
// the window thread; where there is no virtual desktop manager (before Windows 10, no shell, Wine)
// nothing is moved.

#include <windows.h>

#include <span>

struct IVirtualDesktopManager;

namespace quill::win32 {

class VirtualDesktops {
public:
    explicit VirtualDesktops(HINSTANCE instance) : m_instance(instance) {}
    ~VirtualDesktops();
    VirtualDesktops(const VirtualDesktops &) = delete;
    VirtualDesktops &operator=(const VirtualDesktops &) = delete;

    // Asks the shell for its virtual desktop manager, once, ahead of the first fake screen.
    void prepare();
    // The windows just shown, on the desktop in front.
    void bringToFront(std::span<const HWND> windows);

private:
    bool desktopInFront(GUID &desktop) const;

    HINSTANCE m_instance;
    IVirtualDesktopManager *m_manager = nullptr;
    bool m_asked = false;
};

} // namespace quill::win32
