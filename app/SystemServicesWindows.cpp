// SPDX-License-Identifier: MIT
#include "SystemServices.h"

#include "sysinfo/WindowsServices.h"

namespace quill {

sysinfo::Services &systemServices()
{
    static sysinfo::WindowsServices services;
    return services;
}

} // namespace quill
