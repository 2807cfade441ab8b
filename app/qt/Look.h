// SPDX-License-Identifier: MIT
#pragma once

// How the description's units, colours, fonts and pictures become Qt's: twips at the screen's
// logical DPI, system colours from the fixed classic scheme set at start-up, "MS Sans Serif"
// as an installed sans-serif.

#include "Description.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

#include <string_view>

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

// Logical dots per inch of the screen windows open on (96 on a usual desktop).
qreal screenDpi();

int toPixels(Twips twips, qreal dpi);
QRect toPixels(const Rect &rect, qreal dpi);

// The desktop is a fixed classic teal; highlighted text and the button and window colours come from
// the classic palette that start-up sets for the whole program (see prepareApplication), so they
// look the same on every desktop.
QColor toColour(Colour colour);

// The installed face that stands in for "MS Sans Serif", at `scale` times the described size.
QFont toFont(const Font &font, qreal scale = 1.0);

// Whether `text` set in `font` stays inside a box of `size` pixels, wrapped at word boundaries.
bool fitsWrapped(const QFont &font, const QString &text, QSize size);
// Whether a one-line caption stays inside a button of `size` pixels.
bool fitsCaption(const QFont &font, const QString &text, QSize size);

QIcon toIcon(Picture picture);
QString resourcePath(Picture picture);

} // namespace quill
