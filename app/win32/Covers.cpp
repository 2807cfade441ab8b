// SPDX-License-Identifier: MIT
#include "Covers.h"

#include "Layout.h"
#include "Text.h"
#include "Win32Backend.h"
#include "Win32Window.h"

#include <algorithm>

namespace quill::win32 {
namespace {

// While a fake screen is up its monitors are looked at this often.
constexpr UINT MonitorCheckMs = 250;

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

void Covers::show(HWND window)
{
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    for (HWND cover : m_covers)
        SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Covers::watchMonitors(HWND window) { SetTimer(window, MonitorCheck, MonitorCheckMs, nullptr); }

void Covers::hide(HWND window)
{
    KillTimer(window, MonitorCheck);
    for (HWND cover : m_covers)
        ShowWindow(cover, SW_HIDE);
}

bool Covers::owns(HWND window) const
{
    return std::find(m_covers.begin(), m_covers.end(), window) != m_covers.end();
}

bool Covers::outdated() const { return !sameMonitors(m_backend.monitors(), m_monitors); }

} // namespace quill::win32
