// SPDX-License-Identifier: MIT
#include "Conversions.h"

#include "RuntimeError.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace quill {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }


[[noreturn]] void typeMismatch() { throw RuntimeError(ErrorCode::TypeMismatch); }

// A number that passed the grammar, in the form std::from_chars reads: '.' as separator, no '+'.
struct Number {
    std::string text;
    bool negative = false;
    // The power of ten of its first non-zero digit (0 for 1 to 9.99...), kept within +-10^9; it
    // tells a number too large for a double from one too small. Meaningless when all digits are 0.
    long long magnitude = 0;
};

// Checks the grammar and rewrites the number for std::from_chars, which reads the same whatever
// the process locale is (the toolkit sets the C library's locale from the environment, and strtod
// would then take '.' for the end of the number in a comma locale).
Number canonical(std::string_view text, char32_t decimalSeparator)
{
    constexpr long long Saturated = 1'000'000'000;
    const std::string sep = utf8(decimalSeparator);
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    std::size_t end = n;
    while (end > i && isBlank(text[end - 1]))
        --end;

    Number number;
    std::string &out = number.text;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i] == '-';
        if (number.negative)
            out += '-';
        ++i;
    }

    std::size_t digits = 0;
    bool nonZero = false;
    long long position = -1; // the first non-zero digit's, counted as the digits are read
    while (i < end && isDigit(text[i])) {
        nonZero = nonZero || text[i] != '0';
        if (nonZero)
            position = std::min(position + 1, Saturated);
        out += text[i++];
        ++digits;
    }
    if (i < end && text.substr(i, sep.size()) == sep) {
        i += sep.size();
        out += '.';
        long long fractionPosition = 0;
        while (i < end && isDigit(text[i])) {
            fractionPosition = std::max(fractionPosition - 1, -Saturated);
            if (!nonZero && text[i] != '0') {
                nonZero = true;
                position = fractionPosition;
            }
            out += text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        typeMismatch();

    long long exponent = 0;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        out += 'e';
        ++i;
        bool negativeExponent = false;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            out += text[i++];
        }
        std::size_t expDigits = 0;
        while (i < end && isDigit(text[i])) {
            exponent = std::min(exponent * 10 + (text[i] - '0'), Saturated);
            out += text[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            typeMismatch();
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != end)
        typeMismatch();
    number.magnitude = position + exponent;
    return number;
}

} // namespace

std::string utf8(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

double textToDouble(std::string_view text, char32_t decimalSeparator)
{
    const Number number = canonical(text, decimalSeparator);
    double value = 0;
    const char *first = number.text.data();
    const char *last = first + number.text.size();
    const auto [stop, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range) {
        if (number.magnitude >= 0)
            throw RuntimeError(ErrorCode::Overflow);
        // Below the smallest double: simply a very small delay, not an error.
        return number.negative ? -0.0 : 0.0;
    }
    if (error != std::errc() || stop != last) // the grammar above allows nothing else
        typeMismatch();
    return value;
}

std::int16_t textToInteger(std::string_view text, char32_t decimalSeparator)
{
    const double rounded = std::nearbyint(textToDouble(text, decimalSeparator));
    if (!(rounded >= std::numeric_limits<std::int16_t>::min()
          && rounded <= std::numeric_limits<std::int16_t>::max()))
        throw RuntimeError(ErrorCode::Overflow);
    return static_cast<std::int16_t>(rounded);
}

std::int32_t doubleToLong(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min()
          && rounded <= std::numeric_limits<std::int32_t>::max()))
        throw RuntimeError(ErrorCode::Overflow);
    return static_cast<std::int32_t>(rounded);
}

std::string integerToText(std::int32_t value) { return std::to_string(value); }

double checkedMultiply(double a, double b)
{
    const double r = a * b;
    if (!std::isfinite(r))
        throw RuntimeError(ErrorCode::Overflow);
    return r;
}

double checkedAdd(double a, double b)
{
    const double r = a + b;
    if (!std::isfinite(r))
        throw RuntimeError(ErrorCode::Overflow);
    return r;
}

} // namespace quill
