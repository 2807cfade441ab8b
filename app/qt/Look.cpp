// SPDX-License-Identifier: MIT
#include "Look.h"

#include "Layout.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QImage>
#include <QScreen>
#include <QStyle>

#include <cmath>
#include <map>

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

namespace {

// What fonts are measured on at `dpi`: the screen Qt draws on, or where that has another DPI, an
// image of that DPI.
const QPaintDevice *measuredOn(double dpi)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || std::lround(screen->logicalDotsPerInchY()) == std::lround(dpi) || dpi <= 0)
        return nullptr;
    static std::map<long, QImage> images;
    QImage &image = images[std::lround(dpi)];
    if (image.isNull()) {
        image = QImage(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
    return &image;
}

QFontMetrics metricsAt(const QFont &font, double dpi)
{
    const QPaintDevice *device = measuredOn(dpi);
    return device ? QFontMetrics(font, device) : QFontMetrics(font);
}

} // namespace

PixelSize textExtent(Kind kind, const QFont &font, const QString &text, int width, double dpi)
{
    const QFontMetrics metrics = metricsAt(font, dpi);
    if (kind == Kind::CommandButton) {
        // A button keeps a little room for its bevel and focus frame around the caption.
        return {metrics.horizontalAdvance(text) + 6, metrics.tightBoundingRect(text).height() + 2};
    }
    if (kind == Kind::CheckBox) {
        // The box and the gap after it, as the program's style draws them, scaled with the DPI.
        const QStyle *style = QApplication::style();
        const double ratio = dpi > 0 ? dpi / 96.0 : 1.0;
        const int box = static_cast<int>(std::lround(
            (style->pixelMetric(QStyle::PM_IndicatorWidth)
             + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing))
            * ratio));
        return {box + metrics.horizontalAdvance(text), metrics.height()};
    }
    const QRect used = metrics.boundingRect(QRect(0, 0, std::max(width, 1), 1 << 20),
                                            Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return {used.width(), used.height()};
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
