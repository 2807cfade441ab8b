// SPDX-License-Identifier: MIT
#include "Runtime.h"

#include "Backend.h"

namespace quill {

char32_t userDecimalSeparator() { return backend().decimalSeparator(); }

} // namespace quill
