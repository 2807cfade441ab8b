// SPDX-License-Identifier: MIT
#include "QtBackend.h"

#include "Look.h"
#include "MessageBox.h"
#include "QtWindow.h"
#include "Startup.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMetaObject>

namespace quill {

std::unique_ptr<NativeWindow> QtBackend::createWindow(const WindowDesc &description,
                                                      const WindowLayout &layout,
                                                      WindowEvents events)
{
    return std::make_unique<QtWindow>(description, layout, std::move(events));
}

void QtBackend::dispose(std::unique_ptr<NativeWindow> window)
{
    static_cast<QtWindow *>(window.release())->deleteLater();
}

void QtBackend::post(std::function<void()> step)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(step), Qt::QueuedConnection);
}

std::vector<Monitor> QtBackend::monitors() const
{
    std::vector<Monitor> found;
    for (const QScreen *screen : screensPrimaryFirst())
        found.push_back(toMonitor(screen));
    return found;
}

Colour QtBackend::systemColour(int index) const { return quill::systemColour(index); }

PixelSize QtBackend::textExtent(Kind kind, std::string_view text, const Font &font,
                                double scale, double dpi, int width) const
{
    return quill::textExtent(kind, toFont(font, scale), toQString(text), width, dpi);
}

char32_t QtBackend::decimalSeparator() const { return quill::decimalSeparator(); }

void QtBackend::showMessage(const std::string &text) { quill::showMessage(text); }

std::vector<std::string> QtBackend::variablesSetForThisProgram() const
{
    return quill::variablesSetForThisProgram();
}

} // namespace quill
