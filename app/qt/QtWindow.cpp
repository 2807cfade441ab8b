// SPDX-License-Identifier: MIT
#include "QtWindow.h"

#include "Accessibility.h"
#include "Covers.h"
#include "Form.h"
#include "Hiding.h"
#include "Layout.h"
#include "Look.h"
#include "Taskbar.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace quill {
namespace {

Qt::WindowFlags flagsFor(const WindowDesc &d)
{
    if (d.border == Border::None) {
        Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
        // A full-screen cover stays above everything else the window manager lets it.
        if (isFullScreen(d))
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

// What showing a full-screen window would otherwise do first, done while it is hidden: asking
// for the full-screen state costs two round trips to the display, polishing the first paint's
// styles and fonts. Showing it then only maps it.
void prepareFullScreen(FormWidget *window)
{
    window->setWindowState(Qt::WindowFullScreen);
    window->ensurePolished();
    // On Wayland the compositor configures a full-screen window again once it has placed it on
    // its output, and applies the new state only when the window next commits a frame. Qt 6.4
    // answers such a configure with an expose but commits nothing when nothing in the window
    // changed: it had already committed that very buffer. sway 1.7 then waits a fifth of a second
    // for the frame, window after window, before it gives up and applies the state all the same.
    // A frame drawn afresh on each expose answers every configure at once.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        window->redrawOnEveryExpose();
}

// How long after it loads a full-screen form makes what its showing needs: the startup window
// loads before the setup dialog is built, shown and drawn, which must not wait for it, and nobody
// presses Start within a tenth of a second of starting the program (if they do, the showing
// makes it on the spot).
constexpr int PrepareAfterMs = 100;

// `under` is what the control stands on where it has no back colour of its own: its text keeps
// its colour only where it reads on the background.
void setColours(QWidget *widget, const ControlDesc &c, QPalette::ColorRole backRole, Colour under)
{
    QPalette palette = widget->palette();
    if (c.backColour)
        palette.setColor(backRole, toColour(*c.backColour));
    if (c.foreColour) {
        const Colour back = toRgb(c.backColour.value_or(under), backend());
        const QColor fore = toColour(readableOn(toRgb(*c.foreColour, backend()), back));
        palette.setColor(QPalette::WindowText, fore);
        palette.setColor(QPalette::ButtonText, fore);
        palette.setColor(QPalette::Text, fore);
    }
    widget->setPalette(palette);
}

Qt::CheckState checkState(std::int16_t value)
{
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

} // namespace

QtWindow::QtWindow(const WindowDesc &d, const WindowLayout &layout, WindowEvents events)
    : m_description(d), m_events(std::move(events))
{
    const double dpi = layout.dpi;
    const double scale = layout.fontScale;

    auto *w = new FormWidget(flagsFor(d));
    m_widget = w;
    w->setObjectName(toQString(d.name));
    w->setAccessibleName(toQString(d.caption));
    w->setWindowTitle(toQString(d.caption));
    if (d.icon != Picture::None)
        w->setWindowIcon(toIcon(d.icon));
    const Colour windowBack = d.backColour.value_or(colours::ButtonFace);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, toColour(windowBack));
    w->setPalette(palette);
    w->setFont(toFont(DefaultFont, scale));

    const QRect frame = toQRect(layout.frame);
    if (isFullScreen(d))
        w->setGeometry(frame);
    else if (d.border == Border::None)
        w->resize(frame.size());
    else
        w->setFixedSize(frame.size());

    auto report = [this](std::string_view control, Event event) {
        return [this, control, event] { m_events.event(control, event); };
    };
    for (const ControlDesc &c : d.controls) {
        const QRect box = toQRect(toPixels(c.rect, dpi));
        QWidget *widget = nullptr;
        switch (c.kind) {
        case Kind::Label: {
            auto *label = new LabelWidget(w);
            label->setText(toQString(c.caption));
            setColours(label, c, QPalette::Window, windowBack);
            QObject::connect(label, &LabelWidget::clicked, w, report(c.name, Event::Click));
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
            setColours(button, c, QPalette::Button, colours::ButtonFace);
            QObject::connect(button, &QAbstractButton::clicked, w, report(c.name, Event::Click));
            widget = button;
            break;
        }
        case Kind::CheckBox: {
            auto *box = new CheckBoxWidget(toQString(c.caption), w);
            box->setTristate(c.value == 2);
            box->setCheckState(checkState(c.value));
            setColours(box, c, QPalette::Window, windowBack);
            QObject::connect(box, &QAbstractButton::clicked, w, report(c.name, Event::Click));
            widget = box;
            break;
        }
        case Kind::TextBox: {
            auto *edit = new QLineEdit(toQString(c.caption), w);
            setColours(edit, c, QPalette::Base, colours::WindowBackground);
            widget = edit;
            break;
        }
        case Kind::PictureBox: {
            auto *picture = new PictureWidget(w, resourcePath(c.picture));
            setColours(picture, c, QPalette::Window, windowBack);
            QObject::connect(picture, &PictureWidget::clicked, w, report(c.name, Event::Click));
            widget = picture;
            break;
        }
        case Kind::Timer: {
            auto *timer = new TimerObject(w);
            timer->setObjectName(toQString(c.name));
            timer->setInterval(c.interval);
            timer->setEnabled(c.enabled);
            QObject::connect(timer, &TimerObject::timeout, w, report(c.name, Event::Timer));
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
        w->placeChild(widget, box);
        if (c.font)
            widget->setFont(toFont(*c.font, scale));
        if (!takesFocus(c.kind))
            widget->setFocusPolicy(Qt::NoFocus);
    }
    const std::vector<const ControlDesc *> order = tabOrder(d);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(find<QWidget>(order[i - 1]->name), find<QWidget>(order[i]->name));
    describeForAssistiveTechnology(w, d);

    QObject::connect(w, &FormWidget::clicked, w, report({}, Event::Click));
    QObject::connect(w, &FormWidget::closeRequested, w, [this] { m_events.closeRequest(); });

    // The native window is made with the window, so that showing it later only maps it. A
    // full-screen form makes the rest of what its showing needs, its covers included, a moment
    // later, or when it is shown, whichever is sooner.
    w->winId();
    if (isFullScreen(d))
        QTimer::singleShot(PrepareAfterMs, w, [this] { prepareScreens(); });
    else if (!d.showInTaskbar)
        keepOutOfTaskbar(w);
    w->setKeptFromMinimizing(!d.minButton && d.border != Border::None);
}

// The covers go with the window.
QtWindow::~QtWindow() { delete m_widget; }

void QtWindow::deleteLater()
{
    if (!m_widget) {
        delete this;
        return;
    }
    QObject::connect(m_widget, &QObject::destroyed, [this] {
        m_widget = nullptr;
        delete this;
    });
    // Deleted once control is back in the event loop, as QObject::deleteLater deletes, and after
    // a hiding asked for until then, which may wait for a dialog to get the keyboard.
    auto *turn = new QObject;
    QObject::connect(turn, &QObject::destroyed, m_widget, [this] {
        if (m_hiding)
            m_deleteWhenHidden = true;
        else
            deleteWindow(m_widget, Deletion::Now);
    });
    turn->deleteLater();
}

template <typename T>
T *QtWindow::find(std::string_view control) const
{
    return m_widget ? m_widget->findChild<T *>(toQString(control)) : nullptr;
}

void QtWindow::place(const PixelRect &client) { m_widget->setGeometry(toQRect(client)); }

void QtWindow::prepareScreens()
{
    const WindowDesc &d = m_description;
    if (!m_widget || m_covers || !isFullScreen(d))
        return;
    FormWidget *w = m_widget;
    prepareFullScreen(w);
    if (!d.showInTaskbar)
        keepOutOfTaskbar(w);
    m_covers = new ScreenCovers(w, [w, &d](const QRect &monitor) {
        auto *cover = new FormWidget(flagsFor(d));
        cover->setWindowTitle(w->windowTitle());
        cover->setPalette(w->palette());
        cover->setCursor(w->cursor());
        cover->setGeometry(monitor);
        cover->winId();
        prepareFullScreen(cover);
        if (!d.showInTaskbar)
            keepOutOfTaskbar(cover);
        return cover;
    });
}

void QtWindow::map()
{
    if (!m_widget)
        return;
    delete m_hiding;
    if (isFullScreen(m_description)) {
        prepareScreens();
        m_covers->show();
        return;
    }
    keepShown(m_widget);
    m_widget->show();
    m_widget->raise();
    m_widget->activateWindow();
    dialogShown(m_widget);
}

void QtWindow::unmap()
{
    if (!m_widget)
        return;
    delete m_hiding;
    m_hiding = afterDialogHasKeyboard(m_widget, [this] {
        if (m_covers)
            m_covers->hide();
        hideWindow(m_widget);
        if (m_deleteWhenHidden)
            deleteWindow(m_widget, Deletion::Later);
    });
}

void QtWindow::focus(std::string_view control)
{
    if (auto *widget = find<QWidget>(control))
        widget->setFocus(Qt::ActiveWindowFocusReason);
}

std::string QtWindow::text(std::string_view control) const
{
    if (auto *label = find<LabelWidget>(control))
        return label->text().toStdString();
    if (auto *button = find<QAbstractButton>(control))
        return button->text().toStdString();
    if (auto *edit = find<QLineEdit>(control))
        return edit->text().toStdString();
    return {};
}

void QtWindow::setText(std::string_view control, std::string_view text)
{
    if (auto *label = find<LabelWidget>(control))
        label->setText(toQString(text));
    else if (auto *button = find<QAbstractButton>(control))
        button->setText(toQString(text));
    else if (auto *edit = find<QLineEdit>(control))
        edit->setText(toQString(text));
}

std::int16_t QtWindow::value(std::string_view control) const
{
    auto *box = find<QCheckBox>(control);
    if (!box)
        return 0;
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    case Qt::Unchecked: break;
    }
    return 0;
}

void QtWindow::setValue(std::string_view control, std::int16_t value)
{
    auto *box = find<QCheckBox>(control);
    if (!box)
        return;
    if (value == 2)
        box->setTristate(true);
    box->setCheckState(checkState(value));
}

void QtWindow::setTimer(std::string_view control, std::int32_t interval, bool enabled)
{
    if (auto *timer = find<TimerObject>(control))
        timer->set(interval, enabled);
}

void QtWindow::stopTimers()
{
    if (!m_widget)
        return;
    for (TimerObject *timer : m_widget->findChildren<TimerObject *>())
        timer->stop();
}

namespace qt {

QWidget *widgetOf(const Form &form)
{
    auto *window = static_cast<QtWindow *>(form.native());
    return window ? window->widget() : nullptr;
}

QObject *controlOf(const Form &form, std::string_view name, int index)
{
    QWidget *window = widgetOf(form);
    return window ? window->findChild<QObject *>(controlObjectName(name, index)) : nullptr;
}

} // namespace qt

} // namespace quill
