// SPDX-License-Identifier: MIT
#pragma once

// The fake shutdown screen that stays until someone clicks it. It is also the startup window: its
// Load handler hands the user over to the setup dialog and waits, hidden, to be shown.

#include "Form.h"

namespace quill::forms {

class Form1 final : public Form {
public:
    Form1();

private:
    void Load() override;
    void Unload() override;
    void QueryClose() override;
    void Form_Click();
    void Label1_Click();
};

} // namespace quill::forms
