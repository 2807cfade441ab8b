// SPDX-License-Identifier: MIT
#include "VirtualDesktops.h"

#include <objbase.h>
#include <shobjidl.h>

#include <vector>

namespace quill::win32 {
namespace {

// GUID_NULL: no desktop of its own.
bool known(const GUID &desktop) { return desktop != GUID{}; }

} // namespace

VirtualDesktops::~VirtualDesktops()
{
    if (m_manager)
        m_manager->Release();
}

void VirtualDesktops::prepare()
{
    if (m_asked)
        return;
    m_asked = true;
    void *manager = nullptr;
    if (SUCCEEDED(CoCreateInstance(__uuidof(VirtualDesktopManager), nullptr, CLSCTX_INPROC_SERVER,
                                   __uuidof(IVirtualDesktopManager), &manager)))
        m_manager = static_cast<IVirtualDesktopManager *>(manager);
}

bool VirtualDesktops::desktopInFront(GUID &desktop) const
{
    BOOL current = FALSE;
    const HWND front = GetForegroundWindow();
    if (front && SUCCEEDED(m_manager->IsWindowOnCurrentVirtualDesktop(front, &current)) && current
        && SUCCEEDED(m_manager->GetWindowDesktopId(front, &desktop)) && known(desktop))
        return true;
    const HWND made = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0,
                                      nullptr, nullptr, m_instance, nullptr);
    if (!made)
        return false;
    const bool found = SUCCEEDED(m_manager->GetWindowDesktopId(made, &desktop)) && known(desktop);
    DestroyWindow(made);
    return found;
}

void VirtualDesktops::bringToFront(std::span<const HWND> windows)
{
    if (!m_manager)
        return;
    std::vector<HWND> away;
    for (HWND window : windows) {
        BOOL current = TRUE;
        if (SUCCEEDED(m_manager->IsWindowOnCurrentVirtualDesktop(window, &current)) && !current)
            away.push_back(window);
    }
    GUID front{};
    if (away.empty() || !desktopInFront(front))
        return;
    for (HWND window : away)
        m_manager->MoveWindowToDesktop(window, front);
}

} // namespace quill::win32
