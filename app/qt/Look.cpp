// SPDX-License-Identifier: MIT
#include "Look.h"

#include "Layout.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include <cmath>

#include "quillendor.xpm"

namespace quill {

std::vector<QScreen *> screensPrimaryFirst()
{
    QScreen *primary = QGuiApplication::primaryScreen();
    std::vector<QScreen *> screens;
    if (primary)
        screens.push_back(primary);
    for (QScreen *screen : QGuiApplication::screens())
        if (screen != primary)
            screens.push_back(screen);
    return screens;
}

Monitor toMonitor(const QScreen *screen)
{
    auto rect = [](const QRect &r) { return PixelRect{r.x(), r.y(), r.width(), r.height()}; };
    QRect area = screen->availableGeometry();
    const qreal ratio = screen->devicePixelRatio();
    if (ratio != std::floor(ratio))
        area.adjust(0, 0, -1, -1);
    return {rect(screen->geometry()), rect(area), screen->logicalDotsPerInch()};
}

namespace {

Colour rgbOf(const QColor &c)
{
    return static_cast<Colour>(c.red()) | static_cast<Colour>(c.green()) << 8
           | static_cast<Colour>(c.blue()) << 16;
}

} // namespace

Colour systemColour(int index)
{
    const QPalette palette = QApplication::palette();
    switch (index) {
    case colours::systemIndex(colours::Desktop): return rgbOf(QColor(0x00, 0x80, 0x80));
    case colours::systemIndex(colours::HighlightText): return rgbOf(palette.color(QPalette::HighlightedText));
    case colours::systemIndex(colours::ButtonText): return rgbOf(palette.color(QPalette::ButtonText));
    case colours::systemIndex(colours::WindowBackground): return rgbOf(palette.color(QPalette::Base));
    case colours::systemIndex(colours::WindowText): return rgbOf(palette.color(QPalette::Text));
    case colours::systemIndex(colours::ButtonFace):
    default: return rgbOf(palette.color(QPalette::Button));
    }
}

QColor toColour(Colour colour)
{
    const Colour rgb = toRgb(colour, backend());
    return QColor(colours::red(rgb), colours::green(rgb), colours::blue(rgb));
}

namespace {

// Faces with the proportions of the classic dialog font, narrowest first; the platform's
// sans-serif when none is installed.
QStringList sansFaces()
{
    static const QStringList faces = [] {
        QStringList found;
        const QStringList installed = QFontDatabase::families();
        for (const char *face : {"Liberation Sans", "Arimo", "Arial", "Helvetica", "DejaVu Sans"})
            if (installed.contains(QString::fromLatin1(face)))
                found << QString::fromLatin1(face);
        if (found.isEmpty())
            found << QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        return found;
    }();
    return faces;
}

} // namespace

QFont toFont(const Font &font, qreal scale)
{
    QFont f;
    f.setFamilies(sansFaces());
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(font.points * scale);
    f.setWeight(font.weight == Weight::Bold ? QFont::Bold : QFont::Normal);
    return f;
}

bool fitsWrapped(const QFont &font, const QString &text, QSize size)
{
    const QFontMetrics metrics(font);
    const QRect used = metrics.boundingRect(QRect(QPoint(0, 0), QSize(size.width(), 1 << 20)),
                                            Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return used.width() <= size.width() && used.height() <= size.height();
}

bool fitsCaption(const QFont &font, const QString &text, QSize size)
{
    const QFontMetrics metrics(font);
    // A button keeps a little room for its bevel and focus frame around the caption.
    return metrics.horizontalAdvance(text) + 6 <= size.width()
           && metrics.tightBoundingRect(text).height() + 2 <= size.height();
}

QString resourcePath(Picture picture)
{
    switch (picture) {
    case Picture::ProgramIcon: return QStringLiteral(":/quillendor.xpm");
    case Picture::QuestionMark: return QStringLiteral(":/question.svg");
    case Picture::None: break;
    }
    return {};
}

QIcon toIcon(Picture picture)
{
    if (picture == Picture::None)
        return {};
    // The program icon is compiled in: reading it as an image file would make Qt load every
    // image-format plugin first, a millisecond and a half before the first window can show.
    if (picture == Picture::ProgramIcon)
        return QIcon(QPixmap(quillendor_xpm));
    return QIcon(resourcePath(picture));
}

} // namespace quill
