// SPDX-License-Identifier: MIT
#pragma once

// Handles a form keeps for its own controls. A handle names a control of its window and reaches the
// live widget only while the window is loaded; reading or writing a control of a window that is not
// loaded is an "Object required" error, except disabling a timer, which has nothing left to stop.

#include <cstdint>
#include <string>
#include <string_view>

class QObject;

namespace quill {

class Form;

class ControlHandle {
protected:
    ControlHandle(const Form &form, std::string_view name) : m_form(form), m_name(name) {}
    QObject *live() const; // throws ObjectRequired when the window is not loaded
    QObject *liveOrNull() const;

    const Form &m_form;
    std::string_view m_name;
};

class Label : ControlHandle {
public:
    Label(const Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::string caption() const;
    void setCaption(std::string_view caption);
};

class CommandButton : ControlHandle {
public:
    CommandButton(const Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::string caption() const;
    void setCaption(std::string_view caption);
};

class CheckBox : ControlHandle {
public:
    CheckBox(const Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::int16_t value() const; // 0 unchecked, 1 checked, 2 grayed
    void setValue(std::int16_t value);
};

class TextBox : ControlHandle {
public:
    TextBox(const Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::string text() const;
    void setText(std::string_view text);
};

class Timer : ControlHandle {
public:
    Timer(const Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::int32_t interval() const;
    void setInterval(std::int32_t milliseconds); // 0 to 65,535, else "Invalid property value"
    bool enabled() const;
    void setEnabled(bool enabled);
};

} // namespace quill
