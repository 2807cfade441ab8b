// SPDX-License-Identifier: MIT
#pragma once

// The reveal dialog: it owns up that the shutdown was a prank, and its OK button closes every window,
// which ends the program. It also offers two public operations that find and start the system's
// system-information tool; no control of the program calls them.

#include "Form.h"

#include <cstdint>
#include <string>

namespace quill::forms {

class frmAbout1 final : public Form {
public:
    frmAbout1();

    // Starts the system-information tool named in the registry, or says it is unavailable.
    void StartSysInfo();
    // Reads one registry value as text; see sysinfo/SysInfo.h.
    bool GetKeyValue(std::uint32_t KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                     std::string &KeyVal);

private:
    void cmdOK_Click();
    void QueryClose() override;
};

} // namespace quill::forms
