// SPDX-License-Identifier: MIT
#pragma once

// A loaded form's window on Qt: a FormWidget with a widget per control, built from the description,
// and for a full-screen form the covers of the other monitors. It reports clicks, timers and close
// requests to its form and does what the runtime tells it; when and in what order is the runtime's,
// except that on X11 a window that goes first lets a dialog shown in that turn get the keyboard.

#include "Backend.h"

#include <QPointer>

class QObject;
class QWidget;

namespace quill {

class Form;
class FormWidget;
class ScreenCovers;

class QtWindow final : public NativeWindow {
public:
    QtWindow(const WindowDesc &description, const WindowLayout &layout, WindowEvents events);
    ~QtWindow() override;

    void place(const PixelRect &client) override;
    void map() override;
    void unmap() override;
    void focus(std::string_view control) override;
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, std::string_view text) override;
    std::int16_t value(std::string_view control) const override;
    void setValue(std::string_view control, std::int16_t value) override;
    void setTimer(std::string_view control, std::int32_t interval, bool enabled) override;
    void stopTimers() override;

    FormWidget *widget() const { return m_widget; }
    // Goes with its widget, which Qt deletes once control is back in the event loop at the level
    // this was asked from (a message box's loop inside a handler does not count).
    void deleteLater();

private:
    template <typename T>
    T *find(std::string_view control) const;
    void prepareScreens(); // a full-screen form's state, polish and covers, before it shows

    const WindowDesc &m_description;
    WindowEvents m_events;
    FormWidget *m_widget = nullptr;
    ScreenCovers *m_covers = nullptr; // a full-screen form's covers of the other monitors
    QPointer<QObject> m_hiding;       // a hiding that waits for a dialog to get the keyboard
    bool m_deleteWhenHidden = false;  // deleted once that hiding is done
};

namespace qt {

// A loaded form's top-level widget, and the object of one of its controls; null when the form is
// not loaded. For tests, which look at and click the widgets themselves.
QWidget *widgetOf(const Form &form);
QObject *controlOf(const Form &form, std::string_view name, int index = -1);

} // namespace qt

} // namespace quill
