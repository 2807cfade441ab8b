// SPDX-License-Identifier: MIT
#include "Layout.h"

#include <algorithm>
#include <cmath>

namespace quill {

std::vector<const ControlDesc *> tabOrder(const WindowDesc &d)
{
    std::vector<const ControlDesc *> order;
    for (const ControlDesc &c : d.controls)
        if (takesFocus(c.kind))
            order.push_back(&c);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto *a, const auto *b) { return a->tabIndex < b->tabIndex; });
    return order;
}

int toPixels(Twips twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

PixelRect toPixels(const Rect &rect, double dpi)
{
    return {toPixels(rect.left, dpi), toPixels(rect.top, dpi), toPixels(rect.width, dpi),
            toPixels(rect.height, dpi)};
}

Monitor primaryMonitor(std::span<const Monitor> monitors)
{
    if (!monitors.empty())
        return monitors.front();
    return {{0, 0, 640, 480}, {0, 0, 640, 480}, 96.0};
}

PixelRect keptInside(PixelRect window, const PixelRect &area)
{
    window.x = std::max(area.x, std::min(window.x, area.x + area.width - window.width));
    window.y = std::max(area.y, std::min(window.y, area.y + area.height - window.height));
    return window;
}

std::optional<PixelRect> firstPlace(const WindowDesc &d, const Monitor &primary)
{
    if (isFullScreen(d))
        return std::nullopt;
    const PixelRect &screen = primary.geometry;
    const int width = toPixels(d.client.width, primary.dpi);
    const int height = toPixels(d.client.height, primary.dpi);
    // The client area is placed, not the frame, whether or not a window manager adds a frame
    // around it. Both placements count from the primary monitor, wherever it stands on the
    // desktop.
    PixelRect placed;
    switch (d.startUp) {
    case StartUpPosition::CenterScreen:
        placed = {screen.x + (screen.width - width) / 2, screen.y + (screen.height - height) / 2,
                  width, height};
        break;
    case StartUpPosition::Manual:
        placed = {screen.x + toPixels(d.client.left, primary.dpi),
                  screen.y + toPixels(d.client.top, primary.dpi), width, height};
        break;
    case StartUpPosition::SystemDefault:
        return std::nullopt;
    }
    return keptInside(placed, primary.workArea);
}

std::vector<CoverPlace> layCovers(std::span<const Monitor> monitors)
{
    std::vector<CoverPlace> places;
    for (std::size_t i = 0; i < monitors.size(); ++i)
        places.push_back({monitors[i].geometry, i == 0});
    return places;
}

bool showsCaption(const ControlDesc &c)
{
    // A check box paired with a label is only its box: the label beside it says what it is.
    return c.kind == Kind::Label || c.kind == Kind::CommandButton
           || (c.kind == Kind::CheckBox && c.labelledBy.empty());
}

std::optional<PixelSize> overflow(const ControlDesc &c, double scale, double dpi,
                                  const Backend &backend)
{
    if (!showsCaption(c) || c.caption.empty())
        return std::nullopt;
    const PixelRect box = toPixels(c.rect, dpi);
    const PixelSize needs = backend.textExtent(c.kind, c.caption, c.font.value_or(DefaultFont),
                                               scale, dpi, box.width);
    if (needs.width <= box.width && needs.height <= box.height)
        return std::nullopt;
    return PixelSize{std::max(0, needs.width - box.width), std::max(0, needs.height - box.height)};
}

double fontScale(const WindowDesc &d, double dpi, const Backend &backend)
{
    auto fitsAt = [&](double scale) {
        for (const ControlDesc &c : d.controls)
            if (overflow(c, scale, dpi, backend))
                return false;
        return true;
    };
    double scale = 1.0;
    while (scale > 0.5 && !fitsAt(scale))
        scale -= 0.01;
    return scale;
}

Colour toRgb(Colour colour, const Backend &backend)
{
    if (!colours::isSystem(colour))
        return colour & 0x00FFFFFFu;
    return backend.systemColour(colours::systemIndex(colour));
}

namespace {

// Relative luminance of an sRGB colour: 0 for black, 1 for white.
double luminance(Colour c)
{
    auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colours::red(c)) + 0.7152 * linear(colours::green(c))
           + 0.0722 * linear(colours::blue(c));
}

} // namespace

double contrast(Colour a, Colour b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Colour readableOn(Colour text, Colour back)
{
    text &= 0x00FFFFFFu;
    back &= 0x00FFFFFFu;
    if (contrast(text, back) >= LeastContrast)
        return text;
    return contrast(colours::Black, back) >= contrast(colours::White, back) ? colours::Black
                                                                             : colours::White;
}

} // namespace quill
