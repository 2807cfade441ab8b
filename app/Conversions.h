// SPDX-License-Identifier: MIT
#pragma once

// Text and number conversions used by the handlers, with the classic rules: a text counts as a number
// only if it is one whole decimal number (see parseNumber), integers round to the nearest value with
// ties going to even, and a value that does not fit raises Overflow. Failures are RuntimeErrors.
//
// What counts as a number, exactly:
//   [blanks] [+|-] digits [sep digits] [(e|E) [+|-] digits] [blanks]
// where the mantissa needs at least one digit on either side of the separator ("5.", ".5" count),
// "sep" is the decimal separator of the user's locale (given by the caller), blanks are spaces and
// tabs. Everything else, the empty text included, is a Type mismatch: thousands separators, "&h" hex,
// currency signs, "inf", "nan", a second sign, text after the number. A number too large for a double
// is an Overflow; one too small to represent becomes 0.

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

// Text to a double. `decimalSeparator` is the locale's (for example '.' or ',').
double textToDouble(std::string_view text, char32_t decimalSeparator = U'.');
// A character, a decimal separator say, as the UTF-8 bytes it is written with.
std::string utf8(char32_t c);

// Text to a 16-bit integer: the number rounded to nearest, ties to even; outside -32,768..32,767 is
// an Overflow.
std::int16_t textToInteger(std::string_view text, char32_t decimalSeparator = U'.');

// A double to a 32-bit integer, rounded to nearest, ties to even; NaN or out of range is an Overflow.
std::int32_t doubleToLong(double value);

// Decimal text of an integer: no sign for positive numbers, no leading zeros or blanks.
std::string integerToText(std::int32_t value);

// Checked double arithmetic: a result that is infinite or not a number raises Overflow (the
// classic floating-point overflow, division by zero and invalid operation all end up here).
double checkedMultiply(double a, double b);
double checkedAdd(double a, double b);

} // namespace quill
