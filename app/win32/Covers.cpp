// SPDX-License-Identifier: MIT
#include "Covers.h"

#include "Layout.h"
#include "Text.h"
#include "Win32Backend.h"
#include "Win32Window.h"

#include <algorithm>
#include <utility>

namespace quill::win32 {
namespace {

// While a fake screen is up its monitors are looked at this often.
constexpr UINT MonitorCheckMs = 250;
// A window that stays above the covers right after they were raised this many times in a row
// is one they cannot go above.
constexpr int UnbeatableAfter = 3;

// What the covers are laid out from: where the monitors are and at what DPI.
bool sameMonitors(const std::vector<Monitor> &a, const std::vector<Monitor> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Monitor &x, const Monitor &y) {
        return x.geometry == y.geometry && x.dpi == y.dpi;
    });
}

RECT toRect(const PixelRect &r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

} // namespace

Covers::Covers(Win32Backend &backend, const WindowDesc &d, void *owner)
    : m_backend(backend), m_description(d), m_owner(owner)
{}

Covers::~Covers() { destroy(); }

std::optional<RECT> Covers::make()
{
    destroy();
    m_monitors = m_backend.monitors();
    std::optional<RECT> primary;
    for (const CoverPlace &place : layCovers(m_monitors)) {
        const RECT r = toRect(place.rect);
        if (place.formWindow) {
            primary = r;
            continue;
        }
        const HWND cover = CreateWindowExW(exStyleOf(m_description), Win32Backend::FormClass,
                                           widen(m_description.caption).c_str(),
                                           styleOf(m_description), r.left, r.top,
                                           r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                           m_backend.instance(), m_owner);
        if (cover)
            m_covers.push_back(cover);
    }
    return primary;
}

void Covers::destroy()
{
    auto covers = std::move(m_covers);
    m_covers.clear();
    for (HWND cover : covers)
        DestroyWindow(cover);
}

void Covers::show(HWND window, bool activate)
{
    m_shown = true;
    constexpr UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, activate ? keep : keep | SWP_NOACTIVATE);
    for (HWND cover : m_covers)
        SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0, keep | SWP_NOACTIVATE);
    m_backend.taskbar().markFullScreen(window, true);
    for (HWND cover : m_covers)
        m_backend.taskbar().markFullScreen(cover, true);
}

void Covers::watchMonitors(HWND window) { SetTimer(window, MonitorCheck, MonitorCheckMs, nullptr); }

void Covers::hide(HWND window)
{
    const bool wasShown = std::exchange(m_shown, false);
    m_stayedAbove = {};
    m_unbeatable.clear();
    KillTimer(window, MonitorCheck);
    for (HWND cover : m_covers)
        ShowWindow(cover, SW_HIDE);
    // A form hidden as it loads was never marked, and needs no COM for it.
    if (!wasShown)
        return;
    for (HWND cover : m_covers)
        m_backend.taskbar().markFullScreen(cover, false);
    m_backend.taskbar().markFullScreen(window, false);
}

bool Covers::owns(HWND window) const
{
    return std::find(m_covers.begin(), m_covers.end(), window) != m_covers.end();
}

bool Covers::outdated() const { return !sameMonitors(m_backend.monitors(), m_monitors); }

bool Covers::unbeatable(HWND window) const
{
    return std::find(m_unbeatable.begin(), m_unbeatable.end(), window) != m_unbeatable.end();
}

HWND Covers::overtaken(HWND window) const
{
    const auto above = [this](HWND mine) -> HWND {
        RECT area;
        if (!IsWindowVisible(mine) || !GetWindowRect(mine, &area))
            return nullptr;
        const DWORD self = GetCurrentProcessId();
        // Up the z-order from the window; a bound, since the order may change under the walk.
        HWND other = GetWindow(mine, GW_HWNDPREV);
        for (int i = 0; other && i < 4096; ++i, other = GetWindow(other, GW_HWNDPREV)) {
            DWORD process = 0;
            GetWindowThreadProcessId(other, &process);
            RECT r, overlap;
            if (process != self && IsWindowVisible(other) && !IsIconic(other)
                && GetWindowRect(other, &r) && IntersectRect(&overlap, &r, &area)
                && !unbeatable(other))
                return other;
        }
        return nullptr;
    };
    if (HWND found = above(window))
        return found;
    for (HWND cover : m_covers)
        if (HWND found = above(cover))
            return found;
    return nullptr;
}

void Covers::keepOnTop(HWND window)
{
    if (!m_shown || !overtaken(window))
        return;
    show(window, false);
    std::pair<HWND, int> stayed{};
    while (HWND still = overtaken(window)) {
        const int times = still == m_stayedAbove.first ? m_stayedAbove.second + 1 : 1;
        if (times < UnbeatableAfter) {
            stayed = {still, times};
            break;
        }
        m_unbeatable.push_back(still);
    }
    m_stayedAbove = stayed;
    m_backend.raiseAboveCovers();
}

void Covers::keepOnTopSoon(HWND window)
{
    if (!m_shown || *m_checkPosted)
        return;
    *m_checkPosted = true;
    m_backend.post([this, posted = std::weak_ptr<bool>(m_checkPosted), window] {
        if (const auto alive = posted.lock()) {
            *alive = false;
            keepOnTop(window);
        }
    });
}

} // namespace quill::win32
