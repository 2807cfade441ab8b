// SPDX-License-Identifier: MIT
#pragma once

// The timed fake shutdown screen: it looks like the click-dismissed one but ignores clicks, keys and
// close requests, and ends itself a minute after it is shown, bringing up the reveal dialog.

#include "Form.h"

namespace quill::forms {

class Form3 final : public Form {
public:
    Form3();

private:
    void Timer1_Timer();
    void QueryClose() override;
};

} // namespace quill::forms
