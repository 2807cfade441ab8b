// SPDX-License-Identifier: MIT
#pragma once

// Handles a form keeps for its own controls. A handle names a control of its window and reaches the
// native control only while the window is loaded; reading or writing a control of a window that is not
// loaded is an "Object required" error, except disabling a timer, which has nothing left to stop.

#include "Description.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

class Form;
class NativeWindow;

class ControlHandle {
protected:
    ControlHandle(Form &form, std::string_view name) : m_form(form), m_name(name) {}
    // The window holding the control, which the description gives as `kind`; ObjectRequired
    // when the window is not loaded or has no such control.
    NativeWindow &live(Kind kind) const;

    Form &m_form;
    std::string_view m_name;
};

class Label : ControlHandle {
public:
    Label(Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::string caption() const;
    void setCaption(std::string_view caption);
};

class CommandButton : ControlHandle {
public:
    CommandButton(Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::string caption() const;
    void setCaption(std::string_view caption);
};

class CheckBox : ControlHandle {
public:
    CheckBox(Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::int16_t value() const; // 0 unchecked, 1 checked, 2 grayed
    void setValue(std::int16_t value);
};

class TextBox : ControlHandle {
public:
    TextBox(Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::string text() const;
    void setText(std::string_view text);
};

class Timer : ControlHandle {
public:
    Timer(Form &form, std::string_view name) : ControlHandle(form, name) {}
    std::int32_t interval() const;
    void setInterval(std::int32_t milliseconds); // 0 to 65,535, else "Invalid property value"
    bool enabled() const;
    void setEnabled(bool enabled);
};

} // namespace quill
