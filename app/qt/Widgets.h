// SPDX-License-Identifier: MIT
#pragma once

// The Qt widgets a window is built from. They only draw and report events; what an event does is
// bound by the Form that owns them.

#include <QAbstractButton>
#include <QCheckBox>
#include <QColor>
#include <QElapsedTimer>
#include <QLineF>
#include <QMouseEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <vector>

class QSvgRenderer;

namespace quill {

// A click as the classic controls count one: the left button pressed and released on the widget.
class ClickWatch {
public:
    void press(const QMouseEvent *event);
    // True when this release ends a click on `widget`.
    bool release(const QMouseEvent *event, const QWidget *widget);

private:
    bool m_pressed = false;
};

// The top-level window: background colour, the lines of the description, clicks on the bare
// background, the default and cancel buttons, and close requests (which never close it directly:
// the form decides).
class FormWidget : public QWidget {
    Q_OBJECT
public:
    struct Line {
        QLineF line;
        QColor colour;
        int width = 1;
    };

    explicit FormWidget(Qt::WindowFlags flags);

    // Lines and controls are placed from the window's left edge; in a window laid out right to
    // left (Arabic, Hebrew) the same distance from its right edge, also after a resize. Qt
    // mirrors only the widgets its layouts place.
    void addLine(const Line &line) { m_lines.push_back(line); }
    void placeChild(QWidget *child, const QRect &place);
    void setDefaultButton(QAbstractButton *button) { m_default = button; }
    // A window without a minimize button that the window manager minimizes all the same comes
    // straight back: a dialog kept out of the taskbar would otherwise be lost to the user.
    void setKeptFromMinimizing(bool kept) { m_keptFromMinimizing = kept; }
    void setCancelButton(QAbstractButton *button) { m_cancel = button; }
    // Draws the window afresh each time the window system exposes it, also where nothing in it
    // changed. Call once its native window is made.
    void redrawOnEveryExpose();

signals:
    void clicked();
    void closeRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A place from the left edge, from the right one when the window runs right to left.
    QRect visual(const QRect &place) const;
    qreal visualX(qreal x) const;

    std::vector<Line> m_lines;
    std::vector<std::pair<QPointer<QWidget>, QRect>> m_places;
    bool m_keptFromMinimizing = false;
    QPointer<QAbstractButton> m_default;
    QPointer<QAbstractButton> m_cancel;
    ClickWatch m_click;
};

// A label: its text wraps at word boundaries inside its box; it never takes the focus, and a click
// (press and release on it) is reported. A label may name a control beside it for assistive
// technology, its buddy, which then goes by the label's text.
class LabelWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit LabelWidget(QWidget *parent);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QWidget *buddy() const { return m_buddy; }
    void setBuddy(QWidget *buddy);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_text;
    QPointer<QWidget> m_buddy;
    ClickWatch m_click;
};

// A picture box: draws its picture scaled into its box, over its background colour. It can take
// the focus; keys it does not use (Enter, Esc) go on to its window's default and cancel buttons.
class PictureWidget : public QWidget {
    Q_OBJECT
public:
    PictureWidget(QWidget *parent, QString resource);
    ~PictureWidget() override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QSvgRenderer *m_renderer = nullptr;
    ClickWatch m_click;
};

// A check box that, like the classic control, toggles on a click anywhere inside its box, not only
// on the mark and the caption's text.
class CheckBoxWidget : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }
};

// A timer control: fires its Timer event every `interval` milliseconds while enabled (an interval of
// 0 never fires). It waits on a deadline in stages, see TimerSchedule.h.
class TimerObject : public QObject {
    Q_OBJECT
public:
    explicit TimerObject(QObject *parent);

    int interval() const { return m_interval; }
    void setInterval(int milliseconds);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Both at once; the period counts from now.
    void set(int interval, bool enabled);
    // Stops for good: the window that owns the timer is going.
    void stop();

public slots:
    // Delivers the Timer event now, as if the deadline had come. Tests use it instead of waiting.
    void fire();

signals:
    void timeout();

private:
    void restart();
    void wake();

    QTimer m_stage;
    QElapsedTimer m_clock;
    std::chrono::nanoseconds m_deadline{0};
    int m_interval = 0;
    bool m_enabled = false;
};

} // namespace quill
