// SPDX-License-Identifier: MIT
#pragma once

// The text and number services as the handlers use them: the user's locale decides the decimal
// separator; everything else is in Conversions.h.

#include "Conversions.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

char32_t userDecimalSeparator();

inline double toDouble(std::string_view text) { return textToDouble(text, userDecimalSeparator()); }
inline std::int16_t toInteger(std::string_view text) { return textToInteger(text, userDecimalSeparator()); }
inline std::int32_t toLong(double value) { return doubleToLong(value); }
inline std::string toText(std::int32_t value) { return integerToText(value); }

} // namespace quill
