#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace quill {

void showMessage(const std::string &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

} // namespace quill
