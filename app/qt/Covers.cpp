// SPDX-License-Identifier: MIT
#include "Covers.h"

#include "Hiding.h"
#include "Layout.h"
#include "Look.h"
#include "Widgets.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace quill {
namespace {

// Puts a full-screen window on `screen`, covering `area` (all of it) exactly whether or not a
// window manager honours the full-screen state.
void fillScreen(QWidget *window, QScreen *screen, const QRect &area)
{
    if (QWindow *handle = window->windowHandle())
        handle->setScreen(screen);
    // Moving a window takes it out of the full-screen state: only when it has to move.
    if (window->geometry() != area)
        window->setGeometry(area);
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
        if (cover)
            deleteWindow(cover, Deletion::Now);
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

void ScreenCovers::hide()
{
    m_shown = false;
    for (auto &[screen, cover] : m_covers)
        if (cover)
            hideWindow(cover);
}

void ScreenCovers::follow()
{
    QScreen *primary = QGuiApplication::primaryScreen();
    const QList<QScreen *> screens = QGuiApplication::screens();
    const std::vector<QScreen *> order = screensPrimaryFirst();
    std::vector<Monitor> monitors;
    for (const QScreen *screen : order)
        monitors.push_back(toMonitor(screen));
    const std::vector<CoverPlace> places = layCovers(monitors);

    for (std::size_t i = 0; i < places.size(); ++i) {
        if (places[i].formWindow)
            continue;
        QScreen *screen = order[i];
        QPointer<FormWidget> &cover = m_covers[screen];
        if (!cover) {
            cover = m_makeCover(toQRect(places[i].rect));
            connect(cover, &FormWidget::clicked, m_window, &FormWidget::clicked);
            connect(cover, &FormWidget::closeRequested, m_window, &FormWidget::closeRequested);
        }
        fillScreen(cover, screen, toQRect(places[i].rect));
    }
    for (std::size_t i = 0; i < places.size(); ++i)
        if (places[i].formWindow)
            fillScreen(m_window, order[i], toQRect(places[i].rect));

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
        if (FormWidget *cover = it->second) {
            hideWindow(cover);
            deleteWindow(cover, Deletion::Later);
        }
        it = m_covers.erase(it);
    }
}

} // namespace quill
