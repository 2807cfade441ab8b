// SPDX-License-Identifier: MIT
#include "Form.h"

#include "Accessibility.h"
#include "Covers.h"
#include "ErrorReport.h"
#include "Look.h"
#include "Registry.h"
#include "Taskbar.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace quill {
namespace {

bool isCover(const WindowDesc &d)
{
    return d.border == Border::None && d.state == WindowState::Maximized;
}

Qt::WindowFlags flagsFor(const WindowDesc &d)
{
    if (d.border == Border::None) {
        Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
        // A full-screen cover stays above everything else the window manager lets it.
        if (isCover(d))
            flags |= Qt::WindowStaysOnTopHint;
        return flags;
    }
    Qt::WindowFlags flags = (d.border == Border::FixedDialog ? Qt::Dialog : Qt::Window)
                            | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                            | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (d.minButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (d.maxButton)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

QRect screenGeometry()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return {0, 0, 640, 480};
}

// The part of the primary monitor that panels and docks leave free. At a fractional scale a
// window's edges are rounded to whole device pixels and may come out a pixel further than its
// place and size say: its right and bottom are kept a unit short of the monitor's.
QRect availableGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return screenGeometry();
    QRect area = screen->availableGeometry();
    const qreal ratio = screen->devicePixelRatio();
    if (ratio != std::floor(ratio))
        area.adjust(0, 0, -1, -1);
    return area;
}

// A window placed by the program is moved, never resized, to stay inside `area` where it fits; a
// window larger than the area keeps its top-left corner in it.
QRect keptInside(QRect window, const QRect &area)
{
    window.moveLeft(std::max(area.left(), std::min(window.left(), area.right() + 1 - window.width())));
    window.moveTop(std::max(area.top(), std::min(window.top(), area.bottom() + 1 - window.height())));
    return window;
}

// What showing a full-screen window would otherwise do first, done while it is hidden: asking
// for the full-screen state costs two round trips to the display, polishing the first paint's
// styles and fonts. Showing it then only maps it.
void prepareFullScreen(QWidget *window)
{
    window->setWindowState(Qt::WindowFullScreen);
    window->ensurePolished();
}

// How long after it loads a full-screen form makes what its showing needs: the startup window
// loads before the setup dialog is built, shown and drawn, which must not wait for it, and nobody
// presses Start within a tenth of a second of starting the program (if they do, the showing
// makes it on the spot).
constexpr int PrepareAfterMs = 100;

bool takesFocus(Kind kind)
{
    return kind == Kind::CommandButton || kind == Kind::CheckBox || kind == Kind::TextBox
           || kind == Kind::PictureBox;
}

void setColours(QWidget *widget, const ControlDesc &c, QPalette::ColorRole backRole)
{
    QPalette palette = widget->palette();
    if (c.backColour)
        palette.setColor(backRole, toColour(*c.backColour));
    if (c.foreColour) {
        palette.setColor(QPalette::WindowText, toColour(*c.foreColour));
        palette.setColor(QPalette::ButtonText, toColour(*c.foreColour));
        palette.setColor(QPalette::Text, toColour(*c.foreColour));
    }
    widget->setPalette(palette);
}

// The share of the described font sizes at which every caption of the window stays inside its
// box. The stand-in face is a little wider than the classic one, so long texts may need less
// than the full size; a whole window shrinks alike so its texts keep their proportions.
qreal fontScale(const WindowDesc &d, qreal dpi)
{
    auto fitsAt = [&](qreal scale) {
        for (const ControlDesc &c : d.controls) {
            const QSize box = toPixels(c.rect, dpi).size();
            const QFont font = toFont(c.font.value_or(DefaultFont), scale);
            if (c.kind == Kind::Label && !fitsWrapped(font, toQString(c.caption), box))
                return false;
            if (c.kind == Kind::CommandButton && !fitsCaption(font, toQString(c.caption), box))
                return false;
        }
        return true;
    };
    qreal scale = 1.0;
    while (scale > 0.5 && !fitsAt(scale))
        scale -= 0.01;
    return scale;
}

} // namespace

Form::Form(const WindowDesc &description) : m_description(description) {}

Form::~Form() { destroy(); }

bool Form::isVisible() const { return m_widget && m_visible; }

QWidget *Form::widget() const { return m_widget; }

QObject *Form::control(std::string_view name, int index) const
{
    if (!m_widget)
        return nullptr;
    return m_widget->findChild<QObject *>(controlObjectName(name, index));
}

void Form::on(std::string_view control, Event event, std::function<void()> handler)
{
    m_bindings.push_back({std::string(control), event, std::move(handler)});
}

void Form::QueryClose() { Registry::current().unload(name()); }

void Form::load()
{
    if (m_widget)
        return;
    const WindowDesc &d = m_description;
    const qreal dpi = screenDpi();
    const qreal scale = fontScale(d, dpi);

    auto *w = new FormWidget(flagsFor(d));
    w->setObjectName(toQString(d.name));
    w->setAccessibleName(toQString(d.caption));
    w->setWindowTitle(toQString(d.caption));
    if (d.icon != Picture::None)
        w->setWindowIcon(toIcon(d.icon));
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, toColour(d.backColour.value_or(colours::ButtonFace)));
    w->setPalette(palette);
    w->setFont(toFont(DefaultFont, scale));

    const QSize client = toPixels(d.client, dpi).size();
    if (isCover(d))
        w->setGeometry(screenGeometry());
    else if (d.border == Border::None)
        w->resize(client);
    else
        w->setFixedSize(client);

    std::vector<std::pair<int, QWidget *>> focusOrder;
    for (const ControlDesc &c : d.controls) {
        const QRect box = toPixels(c.rect, dpi);
        QWidget *widget = nullptr;
        switch (c.kind) {
        case Kind::Label: {
            auto *label = new LabelWidget(w);
            label->setText(toQString(c.caption));
            setColours(label, c, QPalette::Window);
            widget = label;
            break;
        }
        case Kind::CommandButton: {
            auto *button = new QPushButton(toQString(c.caption), w);
            // Enter on a focused button presses it, as in any classic dialog.
            button->setAutoDefault(true);
            if (c.isDefault)
                w->setDefaultButton(button);
            if (c.isCancel)
                w->setCancelButton(button);
            setColours(button, c, QPalette::Button);
            widget = button;
            break;
        }
        case Kind::CheckBox: {
            auto *box = new CheckBoxWidget(toQString(c.caption), w);
            box->setTristate(c.value == 2);
            box->setCheckState(c.value == 1 ? Qt::Checked
                                            : c.value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
            setColours(box, c, QPalette::Window);
            widget = box;
            break;
        }
        case Kind::TextBox: {
            auto *edit = new QLineEdit(toQString(c.caption), w);
            setColours(edit, c, QPalette::Base);
            widget = edit;
            break;
        }
        case Kind::PictureBox: {
            auto *picture = new PictureWidget(w, resourcePath(c.picture));
            setColours(picture, c, QPalette::Window);
            widget = picture;
            break;
        }
        case Kind::Timer: {
            auto *timer = new TimerObject(w);
            timer->setObjectName(toQString(c.name));
            timer->setInterval(c.interval);
            timer->setEnabled(c.enabled);
            break;
        }
        case Kind::Line:
            w->addLine({QLineF(toPixels(c.x1, dpi), toPixels(c.y1, dpi), toPixels(c.x2, dpi),
                               toPixels(c.y2, dpi)),
                        toColour(c.lineColour), c.lineWidth});
            break;
        }
        if (!widget)
            continue;
        widget->setObjectName(controlObjectName(c.name, c.index));
        widget->setGeometry(box);
        if (c.font)
            widget->setFont(toFont(*c.font, scale));
        if (takesFocus(c.kind))
            focusOrder.emplace_back(c.tabIndex, widget);
        else
            widget->setFocusPolicy(Qt::NoFocus);
    }
    std::stable_sort(focusOrder.begin(), focusOrder.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    describeForAssistiveTechnology(w, d);

    // Events reach the handlers only while this load lasts: the token dies with the window.
    auto alive = std::make_shared<bool>(true);
    m_alive = alive;
    auto bind = [alive](const std::function<void()> &handler) {
        return [alive, handler] {
            if (*alive)
                deliver(handler);
        };
    };
    for (const Binding &b : m_bindings) {
        QObject *target = b.control.empty() ? static_cast<QObject *>(w)
                                            : w->findChild<QObject *>(toQString(b.control));
        if (!target)
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(target))
            QObject::connect(button, &QAbstractButton::clicked, w, bind(b.handler));
        else if (auto *label = qobject_cast<LabelWidget *>(target))
            QObject::connect(label, &LabelWidget::clicked, w, bind(b.handler));
        else if (auto *picture = qobject_cast<PictureWidget *>(target))
            QObject::connect(picture, &PictureWidget::clicked, w, bind(b.handler));
        else if (auto *timer = qobject_cast<TimerObject *>(target))
            QObject::connect(timer, &TimerObject::timeout, w, bind(b.handler));
        else if (target == w)
            QObject::connect(w, &FormWidget::clicked, w, bind(b.handler));
    }
    QObject::connect(w, &FormWidget::closeRequested, w, bind([this] { QueryClose(); }));

    // The native window is made with the window, so that showing it later only maps it. A
    // full-screen form makes the rest of what its showing needs, its covers included, a moment
    // later, or when it is shown, whichever is sooner.
    w->winId();
    if (isCover(d))
        QTimer::singleShot(PrepareAfterMs, w, [this] { prepareScreens(); });
    else if (!d.showInTaskbar)
        keepOutOfTaskbar(w);
    w->setKeptFromMinimizing(!d.minButton && d.border != Border::None);

    m_widget = w;
    m_shownOnce = false;
    m_visible = false;
    Registry::current().trace("Load " + std::string(d.name));
    Load();
}

void Form::makeVisible()
{
    if (!m_widget)
        return;
    const bool first = !m_shownOnce;
    if (first)
        placeOnFirstShow();
    m_shownOnce = true;
    m_visible = true;
    if (first)
        focusFirstControl();
    if (m_mapPending)
        return;
    m_mapPending = true;
    QMetaObject::invokeMethod(
        m_widget, [this] { map(); }, Qt::QueuedConnection);
}

void Form::prepareScreens()
{
    const WindowDesc &d = m_description;
    if (!m_widget || m_covers || !isCover(d))
        return;
    FormWidget *w = m_widget;
    prepareFullScreen(w);
    if (!d.showInTaskbar)
        keepOutOfTaskbar(w);
    m_covers = new ScreenCovers(w, [w, &d](QScreen *screen) {
        auto *cover = new FormWidget(flagsFor(d));
        cover->setWindowTitle(w->windowTitle());
        cover->setPalette(w->palette());
        cover->setCursor(w->cursor());
        cover->setGeometry(screen->geometry());
        cover->winId();
        prepareFullScreen(cover);
        if (!d.showInTaskbar)
            keepOutOfTaskbar(cover);
        return cover;
    });
}

void Form::map()
{
    m_mapPending = false;
    if (!m_widget || !m_visible)
        return;
    if (isCover(m_description)) {
        prepareScreens();
        m_covers->show();
        return;
    }
    m_widget->show();
    m_widget->raise();
    m_widget->activateWindow();
}

void Form::makeHidden()
{
    m_visible = false;
    if (!m_widget)
        return;
    if (m_covers)
        m_covers->hide();
    m_widget->hide();
}

void Form::runUnload()
{
    m_unloading = true;
    struct Reset {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_unloading};
    Registry::current().trace("Unload " + std::string(m_description.name));
    Unload();
}

void Form::destroy(bool now)
{
    if (!m_widget)
        return;
    FormWidget *w = m_widget;
    m_widget = nullptr;
    m_visible = false;
    if (auto alive = m_alive.lock())
        *alive = false;
    for (TimerObject *timer : w->findChildren<TimerObject *>())
        timer->stop();
    ScreenCovers *covers = m_covers; // they go with the window
    m_covers = nullptr;
    if (now) {
        delete w;
        return;
    }
    // The window leaves the screen at the next turn of the event loop, right after the windows
    // this event showed have come on it (they were asked for first), so that nothing of the
    // desktop shows between the one and the others; and right after, not later, so that the
    // window manager gives the new window the focus as it does when a window closes. It is
    // deleted after that: it may be the window whose event is being handled right now.
    QMetaObject::invokeMethod(
        w,
        [w, covers] {
            if (covers)
                covers->hide();
            w->hide();
        },
        Qt::QueuedConnection);
    w->deleteLater();
}

void Form::placeOnFirstShow()
{
    const WindowDesc &d = m_description;
    if (isCover(d))
        return;
    const qreal dpi = screenDpi();
    const QRect screen = screenGeometry();
    const QSize size = toPixels(d.client, dpi).size();
    // The client area is placed, not the frame: setGeometry places the inside of the window
    // whether or not a window manager adds a frame around it. Both placements count from the
    // primary monitor, wherever it stands on the desktop.
    QRect placed;
    switch (d.startUp) {
    case StartUpPosition::CenterScreen:
        placed = QRect(screen.x() + (screen.width() - size.width()) / 2,
                       screen.y() + (screen.height() - size.height()) / 2, size.width(),
                       size.height());
        break;
    case StartUpPosition::Manual:
        placed = QRect(screen.topLeft()
                           + QPoint(toPixels(d.client.left, dpi), toPixels(d.client.top, dpi)),
                       size);
        break;
    case StartUpPosition::SystemDefault:
        return;
    }
    m_widget->setGeometry(keptInside(placed, availableGeometry()));
}

void Form::focusFirstControl()
{
    QWidget *first = nullptr;
    int lowest = 0;
    for (const ControlDesc &c : m_description.controls) {
        if (!takesFocus(c.kind))
            continue;
        auto *widget = m_widget->findChild<QWidget *>(toQString(c.name));
        if (widget && (!first || c.tabIndex < lowest)) {
            first = widget;
            lowest = c.tabIndex;
        }
    }
    if (first)
        first->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace quill
