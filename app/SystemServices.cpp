// SPDX-License-Identifier: MIT
#include "SystemServices.h"

#include "MessageBox.h"
#include "Startup.h"

#ifdef _WIN32
#include "sysinfo/WindowsServices.h"
#else
#include "sysinfo/LinuxServices.h"
#endif

namespace quill {

sysinfo::Services &systemServices()
{
#ifdef _WIN32
    static sysinfo::WindowsServices services;
#else
    static sysinfo::LinuxServices services([](const std::string &text) { showMessage(text); },
                                           sysinfo::LinuxServices::defaultTools(),
                                           variablesSetForThisProgram());
#endif
    return services;
}

} // namespace quill
