// SPDX-License-Identifier: MIT
#include "Hiding.h"

#include <QEvent>
#include <QPointer>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <memory>
#include <utility>

namespace quill {
namespace {

// A window's hiding while it waits for the answer to its last frame; a child of the window.
//
// Qt 6.4's Wayland plugin delivers an update request at once when no frame of the window waits
// for the compositor's answer, and otherwise only once the answer has come (the frame event
// thread sets the window's callback aside, then hands the answer on to the main thread, which
// delivers the request). The window stops drawing first, so no new frame is asked for. A request
// asked for earlier may still come with the answer to a frame drawn just before the window
// stopped, while a later frame waits: the first request that comes asks for a second one, which
// comes only once nothing waits any more, and the window is hidden then.
class PendingHide : public QObject {
public:
    PendingHide(QWidget *window, const Hiding &how) : QObject(window), m_window(window), m_how(how)
    {
        window->setUpdatesEnabled(false);
        window->windowHandle()->installEventFilter(this);
        window->windowHandle()->requestUpdate();
        QTimer::singleShot(how.answerWait, this, [this] { finish(); });
    }

    static PendingHide *of(QWidget *window)
    {
        for (QObject *child : window->children())
            if (auto *pending = dynamic_cast<PendingHide *>(child))
                return pending;
        return nullptr;
    }

    // Deleted once hidden, Hiding::deleteAfter later.
    void deleteWindowToo() { m_deleteWindow = true; }

    // The window is shown again: it draws again, and is not hidden.
    void callOff()
    {
        m_window->windowHandle()->removeEventFilter(this);
        m_window->setUpdatesEnabled(true);
        delete this;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest || watched != m_window->windowHandle())
            return false;
        if (++m_requests < 2)
            m_window->windowHandle()->requestUpdate();
        else
            finish();
        return true; // not drawn
    }

private:
    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_window->windowHandle()->removeEventFilter(this);
        m_window->hide();
        m_window->setUpdatesEnabled(true);
        if (m_deleteWindow) {
            QWidget *window = m_window;
            QTimer::singleShot(m_how.deleteAfter, window, [window] { window->deleteLater(); });
        }
        deleteLater();
    }

    QWidget *m_window;
    Hiding m_how;
    int m_requests = 0;
    bool m_finished = false;
    bool m_deleteWindow = false;
};

// The dialog shown last on X11, until the window manager gives it the keyboard.
QPointer<QWidget> dialogComing;

// The longest a window that goes waits for that.
constexpr std::chrono::milliseconds KeyboardWait{500};

} // namespace

Hiding Hiding::forPlatform()
{
    return {.afterLastFrame = QGuiApplication::platformName().startsWith(QLatin1String("wayland"))};
}

void hideWindow(QWidget *window, const Hiding &how)
{
    if (!how.afterLastFrame || !window->isVisible() || !window->windowHandle()) {
        window->hide();
        return;
    }
    if (!PendingHide::of(window))
        new PendingHide(window, how);
}

void keepShown(QWidget *window)
{
    if (PendingHide *pending = PendingHide::of(window))
        pending->callOff();
}

void deleteWindow(QWidget *window, Deletion deletion, const Hiding &how)
{
    if (!how.afterLastFrame) {
        if (deletion == Deletion::Now)
            delete window;
        else
            window->deleteLater();
        return;
    }
    hideWindow(window, how);
    if (PendingHide *pending = PendingHide::of(window)) {
        pending->deleteWindowToo();
        return;
    }
    QTimer::singleShot(how.deleteAfter, window, [window] { window->deleteLater(); });
}

void dialogShown(QWidget *dialog)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        dialogComing = dialog;
}

// On X11 the windows that go in the turn a dialog comes (the fake screen, as its reveal dialog
// comes) leave once the window manager has given the dialog the keyboard, or KeyboardWait later
// at the most. When the window that has the keyboard goes, the window manager hands it on, and
// xfwm4 hands it past the program's dialogs, to no window at all: a reveal dialog it was just
// giving the keyboard to as the fake screen went was left without it (Enter did nothing), about
// one time in twenty. Once the dialog has the keyboard, the windows going change nothing.
QObject *afterDialogHasKeyboard(QWidget *going, std::function<void()> step)
{
    QPointer<QWidget> dialog = dialogComing;
    if (!dialog || dialog == going || !dialog->isVisible() || dialog->isActiveWindow()) {
        step();
        return nullptr;
    }
    auto *wait = new QTimer(going);
    wait->setSingleShot(true);
    auto finish = [wait, done = std::make_shared<bool>(false), step = std::move(step)] {
        if (std::exchange(*done, true))
            return;
        wait->deleteLater();
        step();
    };
    QObject::connect(wait, &QTimer::timeout, wait, finish);
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, wait,
                     [dialog, finish](QWindow *now) {
                         if (!dialog || now == dialog->windowHandle())
                             finish();
                     });
    wait->start(KeyboardWait);
    return wait;
}

} // namespace quill
