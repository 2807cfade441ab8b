// SPDX-License-Identifier: MIT
#include "Controls.h"

#include "Form.h"
#include "Look.h"
#include "RuntimeError.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace quill {
namespace {

template <typename T>
T *as(QObject *object)
{
    auto *typed = qobject_cast<T *>(object);
    if (!typed)
        throw RuntimeError(ErrorCode::ObjectRequired);
    return typed;
}

} // namespace

QObject *ControlHandle::liveOrNull() const { return m_form.control(m_name); }

QObject *ControlHandle::live() const
{
    QObject *object = liveOrNull();
    if (!object)
        throw RuntimeError(ErrorCode::ObjectRequired, std::string(m_name));
    return object;
}

std::string Label::caption() const { return as<LabelWidget>(live())->text().toStdString(); }
void Label::setCaption(std::string_view caption) { as<LabelWidget>(live())->setText(toQString(caption)); }

std::string CommandButton::caption() const
{
    return as<QPushButton>(live())->text().toStdString();
}
void CommandButton::setCaption(std::string_view caption)
{
    as<QPushButton>(live())->setText(toQString(caption));
}

std::int16_t CheckBox::value() const
{
    switch (as<QCheckBox>(live())->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    case Qt::Unchecked: break;
    }
    return 0;
}

void CheckBox::setValue(std::int16_t value)
{
    if (value < 0 || value > 2)
        throw RuntimeError(ErrorCode::InvalidPropertyValue);
    auto *box = as<QCheckBox>(live());
    if (value == 2)
        box->setTristate(true);
    box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

std::string TextBox::text() const { return as<QLineEdit>(live())->text().toStdString(); }
void TextBox::setText(std::string_view text) { as<QLineEdit>(live())->setText(toQString(text)); }

std::int32_t Timer::interval() const { return as<TimerObject>(live())->interval(); }

void Timer::setInterval(std::int32_t milliseconds)
{
    if (milliseconds < 0 || milliseconds > 65535)
        throw RuntimeError(ErrorCode::InvalidPropertyValue);
    as<TimerObject>(live())->setInterval(milliseconds);
}

bool Timer::enabled() const { return as<TimerObject>(live())->isEnabled(); }

void Timer::setEnabled(bool enabled)
{
    QObject *object = liveOrNull();
    if (!object && !enabled)
        return; // the timer went with its window; there is nothing left to stop
    as<TimerObject>(object ? object : live())->setEnabled(enabled);
}

} // namespace quill
