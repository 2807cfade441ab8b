// SPDX-License-Identifier: MIT
#include "Controls.h"

#include "Form.h"
#include "RuntimeError.h"

namespace quill {

NativeWindow &ControlHandle::live(Kind kind) const
{
    NativeWindow *window = m_form.native();
    const ControlDesc *control = m_form.controlDesc(m_name);
    if (!window || !control)
        throw RuntimeError(ErrorCode::ObjectRequired, std::string(m_name));
    if (control->kind != kind)
        throw RuntimeError(ErrorCode::ObjectRequired);
    return *window;
}

std::string Label::caption() const { return live(Kind::Label).text(m_name); }
void Label::setCaption(std::string_view caption) { live(Kind::Label).setText(m_name, caption); }

std::string CommandButton::caption() const { return live(Kind::CommandButton).text(m_name); }
void CommandButton::setCaption(std::string_view caption)
{
    live(Kind::CommandButton).setText(m_name, caption);
}

std::int16_t CheckBox::value() const { return live(Kind::CheckBox).value(m_name); }

void CheckBox::setValue(std::int16_t value)
{
    if (value < 0 || value > 2)
        throw RuntimeError(ErrorCode::InvalidPropertyValue);
    live(Kind::CheckBox).setValue(m_name, value);
}

std::string TextBox::text() const { return live(Kind::TextBox).text(m_name); }
void TextBox::setText(std::string_view text) { live(Kind::TextBox).setText(m_name, text); }

namespace {

Form::TimerState &timerOf(Form &form, std::string_view name)
{
    Form::TimerState *state = form.timerState(name);
    if (!state)
        throw RuntimeError(ErrorCode::ObjectRequired, std::string(name));
    return *state;
}

} // namespace

std::int32_t Timer::interval() const
{
    live(Kind::Timer);
    return timerOf(m_form, m_name).interval;
}

void Timer::setInterval(std::int32_t milliseconds)
{
    if (milliseconds < 0 || milliseconds > 65535)
        throw RuntimeError(ErrorCode::InvalidPropertyValue);
    NativeWindow &window = live(Kind::Timer);
    Form::TimerState &state = timerOf(m_form, m_name);
    state.interval = milliseconds;
    window.setTimer(m_name, state.interval, state.enabled);
}

bool Timer::enabled() const
{
    live(Kind::Timer);
    return timerOf(m_form, m_name).enabled;
}

void Timer::setEnabled(bool enabled)
{
    if (!m_form.native() && !enabled)
        return; // the timer went with its window; there is nothing left to stop
    NativeWindow &window = live(Kind::Timer);
    Form::TimerState &state = timerOf(m_form, m_name);
    if (state.enabled == enabled)
        return;
    state.enabled = enabled;
    window.setTimer(m_name, state.interval, state.enabled);
}

} // namespace quill
