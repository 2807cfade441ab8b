// SPDX-License-Identifier: MIT
#pragma once

// The arithmetic every backend lays windows out with: twips to pixels at a DPI, where a window goes
// on the desktop, which monitor each window of a full-screen form covers, the share of the font
// sizes that keeps every caption inside its box, and the colours of the description as RGB.

#include "Backend.h"
#include "Description.h"

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace quill {

// A borderless maximized window covers the screen: the fake shutdown screens.
constexpr bool isFullScreen(const WindowDesc &d)
{
    return d.border == Border::None && d.state == WindowState::Maximized;
}

// Controls that take the focus, by Tab and by a click.
constexpr bool takesFocus(Kind kind)
{
    return kind == Kind::CommandButton || kind == Kind::CheckBox || kind == Kind::TextBox
           || kind == Kind::PictureBox;
}

// The controls Tab goes through, in the order it goes: those that take the focus, by tab index
// (the first one has the focus when the window is shown).
std::vector<const ControlDesc *> tabOrder(const WindowDesc &d);

int toPixels(Twips twips, double dpi);
PixelRect toPixels(const Rect &rect, double dpi);

// The monitor windows open on, and its DPI: the primary one, or a 640x480 screen at 96 DPI when
// there is none.
Monitor primaryMonitor(std::span<const Monitor> monitors);

// A window placed by the program is moved, never resized, to stay inside `area` where it fits; a
// window larger than the area keeps its top-left corner in it.
PixelRect keptInside(PixelRect window, const PixelRect &area);

// Where a window's client area goes when it is first shown: centred on the primary monitor, or at
// its described offset from the monitor's top-left corner, then kept inside the monitor's work
// area. None for a window the window manager places, and for a full-screen one.
std::optional<PixelRect> firstPlace(const WindowDesc &d, const Monitor &primary);

// What a full-screen form puts over each monitor, in the order of `monitors`: the form's own window
// over the primary one (the first), a plain cover over each other.
struct CoverPlace {
    PixelRect rect;
    bool formWindow = false;
};
std::vector<CoverPlace> layCovers(std::span<const Monitor> monitors);

// Whether the control shows its caption: labels, buttons, and check boxes that no label stands
// beside.
bool showsCaption(const ControlDesc &c);
// By how many pixels the control's caption at `scale` times its font's size, at `dpi`, overflows
// its box, across and down; none where it stays inside.
std::optional<PixelSize> overflow(const ControlDesc &c, double scale, double dpi,
                                  const Backend &backend);

// The share of the described font sizes at which every caption of the window stays inside its box,
// in steps of a hundredth down to one half. The stand-in faces are a little wider than the classic
// one, so long texts may need less than the full size; a whole window shrinks alike so its texts
// keep their proportions.
double fontScale(const WindowDesc &d, double dpi, const Backend &backend);

// A colour of the description as 0x00BBGGRR: system colour indices are asked of the backend.
Colour toRgb(Colour colour, const Backend &backend);

// How far apart two colours (0x00BBGGRR) stand for the eye: the ratio of their relative
// luminances, each plus 0.05, the lighter over the darker; 1 for the same colour, 21 for black
// and white.
double contrast(Colour a, Colour b);

// Text is drawn in `text` on `back` (both 0x00BBGGRR) where it reads there: 3 to 1 or more, the
// least for large text. A colour scheme can make the two the same or nearly so (some high-contrast
// ones give highlighted text the desktop's colour), and then the text would vanish: it is drawn in
// black or white instead, whichever stands out more on `back`.
inline constexpr double LeastContrast = 3.0;
Colour readableOn(Colour text, Colour back);

} // namespace quill
