// SPDX-License-Identifier: MIT
// A plain Qt Widgets program, with nothing of Quillendor's in it, that makes the window changes
// Quillendor makes, over and over in one process, to measure how often Qt 6.4's Wayland plugin
// aborts on them (bench/wayland_race.py runs it on headless sway and counts).
//
// One round: a dialog with a focused line edit is shown; its Start button is clicked (drawn
// pressed, then released, as by the mouse); a borderless full-screen window is mapped on every
// output (made beforehand, put on its screen, then shown full screen), and at the next turn of
// the event loop the dialog is hidden and deleted. A while later a second dialog is shown and, at
// the next turn, the full-screen windows are hidden and deleted; its OK button is clicked and it
// goes too.
//
//   wayland_race [--rounds N] [--hide now|after-frame|after-frame-drawing] [--busy] [--aligned]
//                [--stay] [--redraw MS] [--seed S]
//
// --hide now hides a window as soon as it is asked to go, as Qt programs usually do.
// --hide after-frame stops drawing the window, asks Qt for an update and hides the window when
// Qt delivers it: Qt delivers it only once the compositor's frame callback for the window's last
// frame has come, so the window is hidden with no frame callback outstanding (or after 100 ms
// without one, when the compositor sends none, as for a window under a full-screen one).
// --hide after-frame-drawing waits likewise but lets the window draw meanwhile, so that a frame
// drawn after the callback came asks for a new one.
// --busy makes the dialogs and the full-screen windows draw again every 5 ms until they are
// hidden, as a window with an animation would: a frame callback is nearly always on its way.
// --aligned asks for the full-screen windows to go when the compositor answers a frame of the
// second dialog, as it answers theirs in the same batch, instead of at the next turn of the
// event loop: the moment the race needs, made common, to compare the ways of hiding.
//
// --stay makes one round up to the full-screen windows and stays there: Start waits for a real
// click, and a monitor plugged in meanwhile gets a full-screen window of its own at once, as
// Quillendor's fake screen does (bench/sway_outputs.py compares how the compositor draws the two).
// It prints "covered N" each time it has shown full-screen windows on N monitors.
// --redraw MS makes the full-screen windows draw themselves whole again every MS milliseconds.
//
// Prints "round R changes C" after each round (C: windows shown or hidden so far) and "done".

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStringList>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

enum class Hide { Now, AfterFrame, AfterFrameDrawing };

Hide hideMode = Hide::Now;
bool busy = false;
bool aligned = false;
bool stay = false;
int redrawMs = 0;
long changes = 0;
QRandomGenerator rng;

int between(int low, int high) { return low + static_cast<int>(rng.bounded(high - low + 1)); }

// Hides `window` when Qt delivers the update asked for here, which it does once the window's
// last frame callback has come; the update itself is not drawn, so no new frame is asked for.
class HideAfterFrame : public QObject {
public:
    HideAfterFrame(QWidget *window, std::function<void()> then)
        : QObject(window), m_window(window), m_then(std::move(then))
    {
        QWindow *handle = window->windowHandle();
        if (hideMode == Hide::AfterFrame)
            window->setUpdatesEnabled(false);
        if (!handle || !window->isVisible()) {
            QTimer::singleShot(0, this, [this] { done(); });
            return;
        }
        handle->installEventFilter(this);
        handle->requestUpdate();
        QTimer::singleShot(100, this, [this] { done(); });
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest)
            return false;
        done();
        return true;
    }

private:
    void done()
    {
        if (m_done)
            return;
        m_done = true;
        if (QWindow *handle = m_window->windowHandle())
            handle->removeEventFilter(this);
        m_window->hide();
        m_window->setUpdatesEnabled(true);
        if (m_then)
            m_then();
        deleteLater();
    }

    QWidget *m_window;
    std::function<void()> m_then;
    bool m_done = false;
};

// Hides the window and deletes it, the one way or the other.
void hideAndDelete(QWidget *window)
{
    if (hideMode == Hide::Now) {
        window->hide();
        ++changes;
        window->deleteLater();
        return;
    }
    ++changes;
    new HideAfterFrame(window, [window] { window->deleteLater(); });
}

// A click as the mouse makes it: the button drawn pressed at once, released a moment later
// (drawn at the next update) and its handler run right on the release.
void click(QObject *context, QPushButton *button, std::function<void()> handler)
{
    button->setDown(true);
    button->repaint();
    QTimer::singleShot(between(0, 30), context, [button, handler] {
        button->setDown(false);
        button->update();
        handler();
    });
}

// Draws a corner of `widget` again every 5 ms, with --busy.
void keepDrawing(QWidget *widget)
{
    if (!busy)
        return;
    auto *again = new QTimer(widget);
    QObject::connect(again, &QTimer::timeout, widget, [widget] { widget->update(0, 0, 16, 16); });
    again->start(5);
}

// Runs `then` once, when Qt delivers the next update of `window` (right after the compositor
// answered its last frame), or after 200 ms; the update is drawn as usual.
class OnNextFrame : public QObject {
public:
    OnNextFrame(QObject *parent, QWidget *window, std::function<void()> then)
        : QObject(parent), m_window(window), m_then(std::move(then))
    {
        window->windowHandle()->installEventFilter(this);
        window->windowHandle()->requestUpdate();
        QTimer::singleShot(200, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest)
            run();
        return false;
    }

private:
    void run()
    {
        if (!m_then)
            return;
        if (m_window)
            m_window->windowHandle()->removeEventFilter(this);
        std::function<void()> then = std::move(m_then);
        m_then = nullptr;
        deleteLater();
        then();
    }

    QPointer<QWidget> m_window;
    std::function<void()> m_then;
};

QWidget *makeDialog(const char *title, const char *button, QPushButton **pushButton)
{
    auto *dialog = new QWidget(nullptr, Qt::Dialog);
    dialog->setWindowTitle(QString::fromLatin1(title));
    dialog->setFixedSize(394, 304);
    auto *edit = new QLineEdit(QStringLiteral("5"), dialog);
    edit->setGeometry(8, 176, 57, 19);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setGeometry(8, 264, 105, 29);
    auto *push = new QPushButton(QString::fromLatin1(button), dialog);
    push->setGeometry(280, 264, 105, 29);
    edit->setFocus();
    keepDrawing(edit);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    dialog->move(screen.center() - QPoint(394 / 2, 304 / 2));
    dialog->winId();
    *pushButton = push;
    return dialog;
}

// A borderless full-screen window over `screen`, its native window made but not shown.
QWidget *makeCover(QScreen *screen)
{
    auto *cover = new QWidget(nullptr,
                              Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    cover->setWindowTitle(QStringLiteral("Plain cover"));
    QPalette teal = cover->palette();
    teal.setColor(QPalette::Window, QColor(0x00, 0x80, 0x80));
    cover->setPalette(teal);
    cover->setAutoFillBackground(true);
    cover->setGeometry(screen->geometry());
    cover->winId();
    cover->windowHandle()->setScreen(screen);
    cover->setWindowState(Qt::WindowFullScreen);
    keepDrawing(cover);
    if (redrawMs > 0) {
        auto *again = new QTimer(cover);
        QObject::connect(again, &QTimer::timeout, cover, [cover] { cover->update(); });
        again->start(redrawMs);
    }
    return cover;
}

class Rounds : public QObject {
public:
    explicit Rounds(int rounds) : m_rounds(rounds) {}

    void next()
    {
        if (m_round == m_rounds) {
            std::printf("done\n");
            std::fflush(stdout);
            QTimer::singleShot(50, qApp, &QApplication::quit);
            return;
        }
        ++m_round;
        m_dialog = makeDialog("Plain dialog", "Start", &m_start);
        m_dialog->show();
        m_dialog->activateWindow();
        ++changes;
        // The full-screen windows are made ahead, as a program makes what it will show.
        m_covers.clear();
        for (QScreen *screen : QGuiApplication::screens())
            m_covers.push_back(makeCover(screen));
        if (stay) {
            connect(m_start, &QPushButton::clicked, this, [this] { start(); });
            connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
                if (m_covers.empty())
                    return;
                QWidget *cover = makeCover(screen);
                m_covers.push_back(cover);
                cover->setVisible(true);
                cover->raise();
                covered();
            });
            return;
        }
        QTimer::singleShot(between(40, 120), this,
                           [this] { click(this, m_start, [this] { start(); }); });
    }

private:
    void start()
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        for (std::size_t i = 0; i < m_covers.size(); ++i) {
            QWidget *cover = m_covers[i];
            if (i < static_cast<std::size_t>(screens.size())) {
                cover->windowHandle()->setScreen(screens[static_cast<int>(i)]);
                if (cover->geometry() != screens[static_cast<int>(i)]->geometry())
                    cover->setGeometry(screens[static_cast<int>(i)]->geometry());
            }
            cover->setWindowState(Qt::WindowFullScreen);
            cover->setVisible(true);
            cover->raise();
            ++changes;
        }
        m_covers.front()->activateWindow();
        QWidget *dialog = m_dialog;
        QMetaObject::invokeMethod(this, [dialog] { hideAndDelete(dialog); }, Qt::QueuedConnection);
        if (stay) {
            covered();
            return;
        }
        QTimer::singleShot(between(60, 200), this, [this] { reveal(); });
    }

    void covered()
    {
        std::printf("covered %zu\n", m_covers.size());
        std::fflush(stdout);
    }

    void reveal()
    {
        QPushButton *ok = nullptr;
        QWidget *dialog = makeDialog("Plain reveal", "OK", &ok);
        QMetaObject::invokeMethod(this, [this, dialog] {
            dialog->show();
            dialog->raise();
            dialog->activateWindow();
            ++changes;
        }, Qt::QueuedConnection);
        std::vector<QWidget *> covers = m_covers;
        auto hideCovers = [covers] {
            for (QWidget *cover : covers)
                hideAndDelete(cover);
        };
        if (aligned)
            // Once the dialog is up and drawing, its next update comes with the compositor's
            // answer to its last frame, and to the full-screen window's on the same output.
            QTimer::singleShot(30, this, [this, dialog, hideCovers] {
                new OnNextFrame(this, dialog, hideCovers);
            });
        else
            QMetaObject::invokeMethod(this, hideCovers, Qt::QueuedConnection);
        m_covers.clear();
        QTimer::singleShot(between(40, 120) + (aligned ? 240 : 0), this, [this, dialog, ok] {
            click(this, ok, [this, dialog] {
                QMetaObject::invokeMethod(this, [dialog] { hideAndDelete(dialog); },
                                          Qt::QueuedConnection);
                QTimer::singleShot(between(10, 40), this, [this] {
                    std::printf("round %d changes %ld\n", m_round, changes);
                    std::fflush(stdout);
                    next();
                });
            });
        });
    }

    int m_rounds;
    int m_round = 0;
    QWidget *m_dialog = nullptr;
    QPushButton *m_start = nullptr;
    std::vector<QWidget *> m_covers;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    int rounds = 100;
    quint32 seed = QRandomGenerator::global()->generate();
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool ok = true;
    for (qsizetype i = 0; ok && i < args.size(); ++i) {
        const QString &arg = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        bool *flag = arg == QLatin1String("--busy")      ? &busy
                     : arg == QLatin1String("--aligned") ? &aligned
                     : arg == QLatin1String("--stay")    ? &stay
                                                         : nullptr;
        if (flag) {
            *flag = true;
            continue;
        }
        ++i;
        if (arg == QLatin1String("--rounds"))
            rounds = value.toInt(&ok);
        else if (arg == QLatin1String("--seed"))
            seed = value.toUInt(&ok);
        else if (arg == QLatin1String("--redraw"))
            redrawMs = value.toInt(&ok);
        else if (arg == QLatin1String("--hide") && value == QLatin1String("now"))
            hideMode = Hide::Now;
        else if (arg == QLatin1String("--hide") && value == QLatin1String("after-frame"))
            hideMode = Hide::AfterFrame;
        else if (arg == QLatin1String("--hide") && value == QLatin1String("after-frame-drawing"))
            hideMode = Hide::AfterFrameDrawing;
        else
            ok = false;
    }
    if (!ok) {
        std::fprintf(stderr, "usage: %s [--rounds N] [--hide now|after-frame|after-frame-drawing] "
                             "[--busy] [--aligned] [--stay] [--redraw MS] [--seed S]\n", argv[0]);
        return 2;
    }
    rng.seed(seed);
    Rounds r(rounds);
    QTimer::singleShot(0, &r, [&r] { r.next(); });
    return app.exec();
}
