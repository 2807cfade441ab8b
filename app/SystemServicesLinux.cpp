// SPDX-License-Identifier: MIT
#include "SystemServices.h"

#include "MessageBox.h"
#include "Startup.h"

#include "sysinfo/LinuxServices.h"

namespace quill {

sysinfo::Services &systemServices()
{
    static sysinfo::LinuxServices services([](const std::string &text) { showMessage(text); },
                                           sysinfo::LinuxServices::defaultTools(),
                                           variablesSetForThisProgram());
    return services;
}

} // namespace quill
