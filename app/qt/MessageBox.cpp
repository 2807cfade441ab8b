// SPDX-License-Identifier: MIT
#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace quill {

void showMessage(const std::string &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    // Centred on the primary monitor, where the program's dialogs are, wherever the mouse is.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        box.adjustSize();
        const QRect area = screen->availableGeometry();
        QRect placed(QPoint(0, 0), box.size());
        placed.moveCenter(area.center());
        box.move(placed.topLeft());
    }
    box.exec();
}

} // namespace quill
