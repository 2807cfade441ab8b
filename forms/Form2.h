// SPDX-License-Identifier: MIT
#pragma once

// The setup dialog: the person setting the prank up picks a delay, or "None", or "Timer", and
// presses Start; Cancel closes everything.

#include "Controls.h"
#include "Form.h"

namespace quill::forms {

class Form2 final : public Form {
public:
    Form2();

private:
    void Check1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Timer1_Timer();
    void QueryClose() override;

    CheckBox Check1{*this, "Check1"};
    CheckBox Check2{*this, "Check2"};
    TextBox Text1{*this, "Text1"};
    Timer Timer1{*this, "Timer1"};
};

} // namespace quill::forms
