// SPDX-License-Identifier: MIT
#include "SystemServices.h"

#include "Backend.h"
#include "Catalog.h"

#include "sysinfo/WindowsServices.h"

namespace quill {

sysinfo::Services &systemServices()
{
    static sysinfo::WindowsServices services(
        "advapi32", [](const std::string &text) { backend().showMessage(std::string(tr(text))); });
    return services;
}

} // namespace quill
