// SPDX-License-Identifier: MIT
#include "Look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include <cmath>

#include "quillendor.xpm"

namespace quill {

qreal screenDpi()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInch();
    return 96.0;
}

int toPixels(Twips twips, qreal dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

QRect toPixels(const Rect &rect, qreal dpi)
{
    return {toPixels(rect.left, dpi), toPixels(rect.top, dpi), toPixels(rect.width, dpi),
            toPixels(rect.height, dpi)};
}

QColor toColour(Colour colour)
{
    if (!colours::isSystem(colour))
        return QColor(colours::red(colour), colours::green(colour), colours::blue(colour));
    const QPalette palette = QApplication::palette();
    switch (colours::systemIndex(colour)) {
    case colours::systemIndex(colours::Desktop): return QColor(0x00, 0x80, 0x80);
    case colours::systemIndex(colours::HighlightText): return palette.color(QPalette::HighlightedText);
    case colours::systemIndex(colours::ButtonText): return palette.color(QPalette::ButtonText);
    case colours::systemIndex(colours::WindowBackground): return palette.color(QPalette::Base);
    case colours::systemIndex(colours::WindowText): return palette.color(QPalette::Text);
    case colours::systemIndex(colours::ButtonFace):
    default: return palette.color(QPalette::Button);
    }
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
