// SPDX-License-Identifier: MIT
#include "Covers.h"

#include "Widgets.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <memory>

namespace quill {
namespace {

constexpr auto PendingHide = "quill-pending-hide";
constexpr int LastFrameWaitMs = 100;

// Hides its window in the update Qt delivers once the window's last frame has been shown, or
// when its timer runs out; it goes with the window, or when the window is to stay shown.
class LastFrameHide : public QObject {
public:
    LastFrameHide(QWidget *window, std::function<void()> then)
        : QObject(window), m_window(window), m_then(std::move(then))
    {
        setObjectName(QLatin1String(PendingHide));
        // Nothing is drawn meanwhile: a frame drawn after the callback came would ask for another.
        window->setUpdatesEnabled(false);
        m_handle = window->windowHandle();
        m_handle->installEventFilter(this);
        auto *timer = new QTimer(this);
        timer->setObjectName(QLatin1String(PendingHide));
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &LastFrameHide::hideNow);
        timer->start(LastFrameWaitMs);
        m_handle->requestUpdate();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest)
            return false;
        // Not drawn: a new frame would ask for an answer again.
        hideNow();
        return true;
    }

private:
    void hideNow()
    {
        if (m_done)
            return;
        m_done = true;
        if (m_handle)
            m_handle->removeEventFilter(this);
        setObjectName(QString());
        deleteLater();
        m_window->hide();
        m_window->setUpdatesEnabled(true);
        if (m_then)
            m_then();
    }

    QWidget *m_window;
    QPointer<QWindow> m_handle;
    std::function<void()> m_then;
    bool m_done = false;
};

// Puts a full-screen window on `screen`, covering it exactly whether or not a window manager
// honours the full-screen state.
void fillScreen(QWidget *window, QScreen *screen)
{
    if (!screen)
        return;
    if (QWindow *handle = window->windowHandle())
        handle->setScreen(screen);
    // Moving a window takes it out of the full-screen state: only when it has to move.
    if (window->geometry() != screen->geometry())
        window->setGeometry(screen->geometry());
}

// Full screen and on screen, without taking the focus from the form's own window.
void mapFullScreen(QWidget *window)
{
    keepShown(window);
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowFullScreen);
    window->setVisible(true);
    window->raise();
}

} // namespace

bool hidingWaitsForFrames()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void hideAfterLastFrame(QWidget *window, std::function<void()> then, bool waitForFrame)
{
    keepShown(window);
    if (!waitForFrame || !window->isVisible() || !window->windowHandle()) {
        window->hide();
        if (then)
            then();
        return;
    }
    new LastFrameHide(window, std::move(then));
}

void keepShown(QWidget *window)
{
    if (QObject *pending = window->findChild<QObject *>(QLatin1String(PendingHide),
                                                        Qt::FindDirectChildrenOnly)) {
        delete pending;
        window->setUpdatesEnabled(true);
    }
}

ScreenCovers::ScreenCovers(FormWidget *window, MakeCover makeCover)
    : QObject(window), m_window(window), m_makeCover(std::move(makeCover))
{
    auto *app = qGuiApp;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        follow();
    });
    connect(app, &QGuiApplication::screenRemoved, this, [this] { follow(); });
    connect(app, &QGuiApplication::primaryScreenChanged, this, [this] { follow(); });
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    follow();
}

ScreenCovers::~ScreenCovers()
{
    // Goes with the form's window, never inside an event of one of the covers.
    for (auto &[screen, cover] : m_covers)
        delete cover.data();
}

void ScreenCovers::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, [this] { follow(); });
}

void ScreenCovers::show()
{
    m_shown = true;
    // The covers and the window, with nothing in between: one batch for the display.
    follow();
    m_window->activateWindow();
}

void ScreenCovers::hide(std::function<void()> then)
{
    m_shown = false;
    auto left = std::make_shared<int>(1);
    auto oneHidden = [left, then = std::move(then)] {
        if (--*left == 0 && then)
            then();
    };
    for (auto &[screen, cover] : m_covers) {
        if (!cover)
            continue;
        ++*left;
        hideAfterLastFrame(cover, oneHidden);
    }
    oneHidden();
}

void ScreenCovers::follow()
{
    QScreen *primary = QGuiApplication::primaryScreen();
    const QList<QScreen *> screens = QGuiApplication::screens();

    for (QScreen *screen : screens) {
        if (screen == primary)
            continue;
        QPointer<FormWidget> &cover = m_covers[screen];
        if (!cover) {
            cover = m_makeCover(screen);
            connect(cover, &FormWidget::clicked, m_window, &FormWidget::clicked);
            connect(cover, &FormWidget::closeRequested, m_window, &FormWidget::closeRequested);
        }
        fillScreen(cover, screen);
    }
    if (primary)
        fillScreen(m_window, primary);

    // The window, then the covers: new monitors are covered before any cover goes, so that no
    // monitor shows the desktop while others change.
    if (m_shown) {
        mapFullScreen(m_window);
        for (auto &[screen, cover] : m_covers)
            if (cover && screen != primary && screens.contains(screen))
                mapFullScreen(cover);
    }

    // Covers of monitors that are gone, or that are the primary one now.
    for (auto it = m_covers.begin(); it != m_covers.end();) {
        if (it->first != primary && screens.contains(it->first)) {
            ++it;
            continue;
        }
        if (FormWidget *cover = it->second)
            hideAfterLastFrame(cover, [cover] { cover->deleteLater(); });
        it = m_covers.erase(it);
    }
}

} // namespace quill
