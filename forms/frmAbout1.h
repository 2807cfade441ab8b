#pragma once

// The reveal dialog: it owns up that the shutdown was a prank, and its OK button closes every window,
// which ends the program.

#include "Form.h"

namespace quill::forms {

class frmAbout1 final : public Form {
public:
    frmAbout1();

private:
    void cmdOK_Click();
    void QueryClose() override;
};

} // namespace quill::forms
