// SPDX-License-Identifier: MIT
#include "Widgets.h"

#include "TimerSchedule.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QWindow>

#include <thread>

namespace quill {

FormWidget::FormWidget(Qt::WindowFlags flags) : QWidget(nullptr, flags)
{
    setAutoFillBackground(true);
}

QRect FormWidget::visual(const QRect &place) const
{
    if (!isRightToLeft())
        return place;
    return QRect(width() - place.x() - place.width(), place.y(), place.width(), place.height());
}

qreal FormWidget::visualX(qreal x) const { return isRightToLeft() ? width() - x : x; }

void FormWidget::placeChild(QWidget *child, const QRect &place)
{
    m_places.emplace_back(child, place);
    child->setGeometry(visual(place));
}

void FormWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!isRightToLeft())
        return;
    for (const auto &[child, place] : m_places)
        if (child)
            child->setGeometry(visual(place));
}

void FormWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (const Line &l : m_lines) {
        QPen pen(l.colour, l.width, Qt::SolidLine, Qt::FlatCap);
        painter.setPen(pen);
        // A pixel column x spans x to x + 1: mirrored, it is the column width() - 1 - x.
        QLineF line(visualX(l.line.x1()), l.line.y1(), visualX(l.line.x2()), l.line.y2());
        if (isRightToLeft())
            line.translate(-1, 0);
        // A line of w pixels covers the w rows from its end points' row down, so a two-pixel
        // white line right under a one-pixel grey one leaves both visible as an etched rule.
        line.translate(0.5, l.width / 2.0);
        painter.drawLine(line);
    }
}

void FormWidget::redrawOnEveryExpose()
{
    if (QWindow *handle = windowHandle())
        handle->installEventFilter(this);
}

bool FormWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle())
        update();
    return QWidget::eventFilter(watched, event);
}

void ClickWatch::press(const QMouseEvent *event) { m_pressed = event->button() == Qt::LeftButton; }

bool ClickWatch::release(const QMouseEvent *event, const QWidget *widget)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
                       && widget->rect().contains(event->position().toPoint());
    m_pressed = false;
    return click;
}

void FormWidget::mousePressEvent(QMouseEvent *event) { m_click.press(event); }

void FormWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_click.release(event, this))
        emit clicked();
}

void FormWidget::keyPressEvent(QKeyEvent *event)
{
    QAbstractButton *target = nullptr;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && event->modifiers() == Qt::NoModifier)
        target = m_default;
    else if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        target = m_cancel;
    if (target && target->isEnabled()) {
        target->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FormWidget::closeEvent(QCloseEvent *event)
{
    // The window never closes behind the registry's back: the form answers the request.
    event->ignore();
    emit closeRequested();
}

void FormWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_keptFromMinimizing
        || !(windowState() & Qt::WindowMinimized))
        return;
    // Restored once the window manager has finished minimizing.
    QTimer::singleShot(0, this, [this] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    });
}

LabelWidget::LabelWidget(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

void LabelWidget::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (m_buddy)
        m_buddy->setAccessibleName(text);
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
    update();
}

void LabelWidget::setBuddy(QWidget *buddy)
{
    m_buddy = buddy;
    if (buddy)
        buddy->setAccessibleName(m_text);
}

void LabelWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_text);
}

void LabelWidget::mousePressEvent(QMouseEvent *event) { m_click.press(event); }

void LabelWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_click.release(event, this))
        emit clicked();
}

PictureWidget::PictureWidget(QWidget *parent, QString resource)
    : QWidget(parent), m_renderer(new QSvgRenderer(resource, this))
{
    setAutoFillBackground(true);
    // Takes the focus by Tab and by a click, as a picture box does; it shows no focus frame.
    setFocusPolicy(Qt::StrongFocus);
}

PictureWidget::~PictureWidget() = default;

void PictureWidget::paintEvent(QPaintEvent *)
{
    if (!m_renderer->isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Scaled into the box, keeping the drawing's proportions, at the top-left as a picture box
    // shows its picture.
    QSizeF size = m_renderer->defaultSize();
    size.scale(QSizeF(width(), height()), Qt::KeepAspectRatio);
    m_renderer->render(&painter, QRectF(QPointF(0, 0), size));
}

void PictureWidget::mousePressEvent(QMouseEvent *event) { m_click.press(event); }

void PictureWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_click.release(event, this))
        emit clicked();
}

TimerObject::TimerObject(QObject *parent) : QObject(parent)
{
    m_stage.setSingleShot(true);
    m_stage.setTimerType(Qt::PreciseTimer);
    connect(&m_stage, &QTimer::timeout, this, &TimerObject::wake);
    m_clock.start();
}

void TimerObject::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    restart();
}

void TimerObject::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void TimerObject::set(int interval, bool enabled)
{
    m_interval = interval;
    m_enabled = enabled;
    restart();
}

void TimerObject::stop()
{
    m_enabled = false;
    m_stage.stop();
}

void TimerObject::restart()
{
    m_stage.stop();
    if (!m_enabled || m_interval <= 0)
        return;
    m_deadline = std::chrono::nanoseconds(m_clock.nsecsElapsed())
                 + std::chrono::milliseconds(m_interval);
    // Always through the event loop: the Timer event never runs inside the handler that set
    // the timer going, however short the interval.
    m_stage.start(nextWait(std::chrono::milliseconds(m_interval)));
}

void TimerObject::wake()
{
    const auto remaining = m_deadline - std::chrono::nanoseconds(m_clock.nsecsElapsed());
    const auto wait = nextWait(remaining);
    if (wait.count() > 0) {
        m_stage.start(wait);
        return;
    }
    // At most SleepTheRest, once a period: the event loop pauses for less than a frame.
    if (remaining > std::chrono::nanoseconds::zero())
        std::this_thread::sleep_for(remaining);
    fire();
}

void TimerObject::fire()
{
    // The next period counts from now, so a late event never brings a burst of catch-up events.
    if (m_enabled && m_interval > 0) {
        m_deadline = std::chrono::nanoseconds(m_clock.nsecsElapsed())
                     + std::chrono::milliseconds(m_interval);
        m_stage.start(nextWait(std::chrono::milliseconds(m_interval)));
    }
    emit timeout();
}

} // namespace quill
