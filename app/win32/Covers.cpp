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
// A window that stays above the covers right after they were raised this many times in a row is
// one they cannot go above now (the system's own windows in a band above every program's topmost
// ones, or the taskbar while it has the foreground): it is let be while it has the foreground, for
// at most this long.
constexpr int GiveUpAfter = 3;
constexpr ULONGLONG GiveUpMs = 2000;
// The pace against windows that keep coming back above the fake screen: after the first three
// raises, at most one a second, then one every two and every four seconds. The fight is over
// once no window has been found above for the longest of these.
constexpr int FreeRaises = 3;
constexpr ULONGLONG PaceMs = 1000;
constexpr ULONGLONG LongestPaceMs = 4000;

ULONGLONG pauseAfter(int raises)
{
    if (raises < FreeRaises)
        return 0;
    return std::min(PaceMs << std::min(raises - FreeRaises, 2), LongestPaceMs);
}

// What the covers are laid out from: where the monitors are and at what DPI.
bool sameMonitors(const std::vector<Monitor> &a, const std::vector<Monitor> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Monitor &x, const Monitor &y) {
        return x.geometry == y.geometry && x.dpi == y.dpi;
    });
}

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

std::vector<HWND> Covers::all(HWND window) const
{
    std::vector<HWND> windows{window};
    windows.insert(windows.end(), m_covers.begin(), m_covers.end());
    return windows;
}

void Covers::raise(HWND window, bool activate)
{
    constexpr UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, activate ? keep : keep | SWP_NOACTIVATE);
    for (HWND cover : m_covers)
        SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0, keep | SWP_NOACTIVATE);
}

void Covers::show(HWND window, bool activate)
{
    m_shown = true;
    raise(window, activate);
    const std::vector<HWND> shown = all(window);
    for (HWND w : shown)
        if (std::find(m_marked.begin(), m_marked.end(), w) == m_marked.end()) {
            m_backend.taskbar().markFullScreen(w, true);
            m_marked.push_back(w);
        }
    m_backend.virtualDesktops().bringToFront(shown);
}

void Covers::watchMonitors(HWND window) { SetTimer(window, MonitorCheck, MonitorCheckMs, nullptr); }

void Covers::hide(HWND window)
{
    m_shown = false;
    m_raises = 0;
    m_next = 0;
    m_stayed.clear();
    KillTimer(window, MonitorCheck);
    for (HWND cover : m_covers)
        ShowWindow(cover, SW_HIDE);
    // A form hidden as it loads was never marked, and needs no COM for it; a cover destroyed
    // since was dropped by the shell with it.
    for (HWND w : std::exchange(m_marked, {}))
        if (IsWindow(w))
            m_backend.taskbar().markFullScreen(w, false);
}

bool Covers::owns(HWND window) const
{
    return std::find(m_covers.begin(), m_covers.end(), window) != m_covers.end();
}

bool Covers::outdated() const { return !sameMonitors(m_backend.monitors(), m_monitors); }

std::vector<HWND> Covers::overtakers(HWND window, ULONGLONG now) const
{
    const DWORD self = GetCurrentProcessId();
    const HWND front = GetForegroundWindow();
    std::vector<HWND> found;
    for (HWND mine : all(window)) {
        RECT area;
        if (!IsWindowVisible(mine) || IsIconic(mine) || !GetWindowRect(mine, &area))
            continue;
        // Up the z-order from the window; a bound, since the order may change under the walk.
        HWND other = GetWindow(mine, GW_HWNDPREV);
        for (int i = 0; other && i < 4096; ++i, other = GetWindow(other, GW_HWNDPREV)) {
            DWORD process = 0;
            GetWindowThreadProcessId(other, &process);
            RECT r, overlap;
            if (process == self || !IsWindowVisible(other) || IsIconic(other)
                || !GetWindowRect(other, &r) || !IntersectRect(&overlap, &r, &area)
                || std::find(found.begin(), found.end(), other) != found.end())
                continue;
            const auto stayed = std::find_if(m_stayed.begin(), m_stayed.end(),
                                             [other](const Stayed &s) { return s.window == other; });
            const bool letBe = stayed != m_stayed.end() && stayed->givenUp && other == front
                               && now - stayed->givenUp < GiveUpMs;
            if (!letBe)
                found.push_back(other);
        }
    }
    return found;
}

void Covers::keepOnTop(HWND window)
{
    if (!m_shown)
        return;
    const ULONGLONG now = GetTickCount64();
    // Minimised by another program or a key: its rectangle is off every monitor, so nothing is
    // found over it; it comes back first.
    bool restored = false;
    for (HWND mine : all(window))
        if (IsIconic(mine)) {
            ShowWindow(mine, SW_SHOWNOACTIVATE);
            restored = true;
        }
    std::erase_if(m_stayed, [](const Stayed &s) { return !IsWindow(s.window); });
    const std::vector<HWND> above = overtakers(window, now);
    if (!above.empty())
        m_lastAbove = now;
    else if (now - m_lastAbove > LongestPaceMs)
        m_raises = 0;
    if (!restored && (above.empty() || now < m_next))
        return;
    raise(window, false);
    m_next = now + pauseAfter(++m_raises);
    const std::vector<HWND> still = overtakers(window, now);
    for (HWND other : above) {
        auto stayed = std::find_if(m_stayed.begin(), m_stayed.end(),
                                   [other](const Stayed &s) { return s.window == other; });
        if (std::find(still.begin(), still.end(), other) != still.end()) {
            if (stayed == m_stayed.end())
                stayed = m_stayed.insert(m_stayed.end(), Stayed{other});
            if (++stayed->times >= GiveUpAfter)
                stayed->givenUp = now;
        } else if (stayed != m_stayed.end()) {
            // Beaten at last after it stayed above: a window that could not be beaten for a
            // while, not one that keeps coming back, so the pace starts again.
            m_stayed.erase(stayed);
            m_raises = 0;
            m_next = 0;
        }
    }
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
