// SPDX-License-Identifier: MIT
#pragma once

// How the runtime's rectangles, monitors, colours, fonts and pictures become Qt's: monitors with
// their logical DPI, system colours from the fixed classic scheme set at start-up, "MS Sans Serif"
// as an installed sans-serif.

#include "Backend.h"
#include "Description.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

#include <string_view>
#include <vector>

class QScreen;

namespace quill {

// The descriptions' texts are UTF-8.
inline QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The object name a control's widget goes by: its name, and its index in a control array.
inline QString controlObjectName(std::string_view name, int index = -1)
{
    return toQString(name) + (index >= 0 ? QString::number(index) : QString());
}

inline QRect toQRect(const PixelRect &r) { return {r.x, r.y, r.width, r.height}; }

// The monitors, the primary one first.
std::vector<QScreen *> screensPrimaryFirst();
// A monitor with its logical dots per inch (96 on a usual desktop). At a fractional scale a
// window's edges are rounded to whole device pixels and may come out a pixel further than its
// place and size say: the work area's right and bottom are kept a pixel short of the monitor's.
Monitor toMonitor(const QScreen *screen);

// The desktop is a fixed classic teal; highlighted text and the button and window colours come from
// the classic palette that start-up sets for the whole program (see prepareApplication), so they
// look the same on every desktop.
Colour systemColour(int index);
QColor toColour(Colour colour);

// The installed face that stands in for "MS Sans Serif", at `scale` times the described size.
QFont toFont(const Font &font, qreal scale = 1.0);

// The room `text` set in `font` takes in a control of `kind` `width` pixels wide, at `dpi` (see
// Backend::textExtent); Qt draws at the screen's logical DPI, another DPI is measured apart.
PixelSize textExtent(Kind kind, const QFont &font, const QString &text, int width, double dpi);

QIcon toIcon(Picture picture);
QString resourcePath(Picture picture);

} // namespace quill
