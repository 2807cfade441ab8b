// SPDX-License-Identifier: MIT
#include "ZOrder.h"

#include "Win32Backend.h"

namespace quill::win32 {

void ZOrder::shown(HWND window)
{
    keepAboveCovers(window, m_backend.coversShown());
    SetWindowPos(window, staysOnTop() ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    toFront(window);
}

void ZOrder::toFront(HWND window)
{
    // A refused call may still say yes, and flash the window instead: a yes is read back from
    // Windows.
    if (SetForegroundWindow(window) && GetForegroundWindow() == window)
        return;
    m_unnoticed = true;
    apply(window);
}

void ZOrder::apply(HWND window) const
{
    if (window && IsWindowVisible(window))
        SetWindowPos(window, staysOnTop() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void ZOrder::keepAboveCovers(HWND window, bool above)
{
    if (above == m_aboveCovers)
        return;
    m_aboveCovers = above;
    apply(window);
}

void ZOrder::activated(HWND window)
{
    // The foreground comes a moment after the activation messages: looked at once they are over.
    if (!m_unnoticed || *m_lookPosted)
        return;
    *m_lookPosted = true;
    m_backend.post([this, posted = std::weak_ptr<bool>(m_lookPosted), window] {
        const auto alive = posted.lock();
        if (!alive)
            return;
        *alive = false;
        if (m_unnoticed && IsWindow(window) && GetForegroundWindow() == window) {
            m_unnoticed = false;
            apply(window);
        }
    });
}

} // namespace quill::win32
