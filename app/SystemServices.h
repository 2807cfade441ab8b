// SPDX-License-Identifier: MIT
#pragma once

// The system-information launcher's services for the platform the program runs on, with the
// program's own message box.

#include "sysinfo/Services.h"

namespace quill {

sysinfo::Services &systemServices();

} // namespace quill
