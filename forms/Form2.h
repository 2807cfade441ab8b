// SPDX-License-Identifier: MIT
#pragma once

// The setup dialog: the person setting the prank up picks a delay, or "None", or "Timer", and
// presses Start; Cancel closes everything.

#include "CommandLine.h"
#include "Controls.h"
#include "Form.h"

#include <cstdint>
#include <string_view>

namespace quill::forms {

class Form2 final : public Form {
public:
    Form2();

    // The delay typed in seconds as Start takes it: the timer's interval in milliseconds. Fails
    // with the error Start reports for a delay it cannot use.
    static std::int32_t DelayInterval(std::string_view seconds, char32_t decimalSeparator);
    // Start pressed as the command line asks (a delay typed, None or Timer ticked) while the
    // dialog is loaded: it is hidden again before it ever reaches the screen.
    void StartAsAsked(StartWith how, std::string_view seconds);

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
