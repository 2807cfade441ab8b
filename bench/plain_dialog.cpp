// SPDX-License-Identifier: MIT
// The floor for the start-up and memory figures: a plain Qt Widgets dialog with the same kinds and
// number of controls as the setup dialog (labels, a line edit, check boxes, push buttons), the same
// size and place, built the ordinary way with no description tables, no custom widgets and no icon.
// Start shows a plain full-screen window; Cancel ends the program.

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    QWidget dialog;
    dialog.setWindowTitle(QStringLiteral("Plain Qt dialog"));
    dialog.setFixedSize(394, 304);

    auto label = [&](const char *text, QRect box, int points = 0, bool bold = false) {
        auto *l = new QLabel(QString::fromLatin1(text), &dialog);
        l->setGeometry(box);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (points || bold) {
            QFont f = l->font();
            if (points)
                f.setPointSizeF(points);
            f.setBold(bold);
            l->setFont(f);
        }
    };
    label("Plain dialog", {56, 8, 249, 33}, 18, true);
    label("A plain Qt dialog with a long paragraph of text that wraps over several lines, about as "
          "long as the one in the setup dialog, so that both lay out and draw a similar amount of "
          "text when they first show. It has no other purpose than being measured.",
          {8, 48, 329, 97}, 10);
    label("Seconds", {8, 152, 97, 17}, 10, true);
    label("UP", {112, 168, 33, 17});
    label("DOWN", {112, 192, 41, 17});
    label("Ending", {200, 152, 97, 17}, 10, true);
    label("A second, shorter paragraph that wraps over a few lines beside the check box.",
          {200, 200, 185, 57});
    label("None", {32, 216, 41, 17});

    auto *edit = new QLineEdit(QStringLiteral("5"), &dialog);
    edit->setGeometry(8, 176, 57, 19);

    auto *up = new QPushButton(QStringLiteral(">"), &dialog);
    up->setGeometry(80, 168, 25, 13);
    auto *down = new QPushButton(QStringLiteral("<"), &dialog);
    down->setGeometry(80, 192, 25, 13);

    auto *none = new QCheckBox(&dialog);
    none->setGeometry(8, 216, 17, 17);
    auto *timer = new QCheckBox(QStringLiteral("Timer"), &dialog);
    timer->setGeometry(200, 176, 121, 17);

    QFont big;
    big.setPointSizeF(13.5);
    big.setBold(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setGeometry(8, 264, 105, 29);
    cancel->setFont(big);
    auto *start = new QPushButton(QStringLiteral("Start"), &dialog);
    start->setGeometry(280, 264, 105, 29);
    start->setFont(big);
    start->setDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, &app, &QApplication::quit);

    // Start puts up a borderless full-screen window at once, as the setup dialog's Start does with
    // "None": the time from the click to it gives the floor for the click-to-window measures.
    QWidget cover(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    cover.setWindowTitle(QStringLiteral("Plain cover"));
    QPalette teal = cover.palette();
    teal.setColor(QPalette::Window, QColor(0x00, 0x80, 0x80));
    cover.setPalette(teal);
    cover.setAutoFillBackground(true);
    // Its X window is made once the dialog is up, so it costs neither the start-up nor the click.
    QTimer::singleShot(0, &cover, [&] { cover.winId(); });
    QObject::connect(start, &QPushButton::clicked, &cover, [&] {
        cover.setGeometry(dialog.screen()->geometry());
        cover.showFullScreen();
        dialog.hide();
    });

    const QRect screen = dialog.screen()->geometry();
    dialog.move(screen.center() - QPoint(394 / 2, 304 / 2));
    dialog.show();
    start->setFocus();
    return app.exec();
}
