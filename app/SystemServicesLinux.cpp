// SPDX-License-Identifier: MIT
#include "SystemServices.h"

#include "Backend.h"
#include "Catalog.h"

#include "sysinfo/LinuxServices.h"

namespace quill {

sysinfo::Services &systemServices()
{
    static sysinfo::LinuxServices services(
        [](const std::string &text) { backend().showMessage(std::string(tr(text))); },
        sysinfo::LinuxServices::defaultTools(), backend().variablesSetForThisProgram());
    return services;
}

} // namespace quill
