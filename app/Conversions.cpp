#include "Conversions.h"

#include "RuntimeError.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quill {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The separator as the UTF-8 bytes it is typed as.
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

[[noreturn]] void typeMismatch() { throw RuntimeError(ErrorCode::TypeMismatch); }

// Checks the grammar and rewrites the number in the "C" form strtod reads whatever the process
// locale is: '.' as separator, nothing else.
std::string canonical(std::string_view text, char32_t decimalSeparator)
{
    const std::string sep = utf8(decimalSeparator);
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    std::size_t end = n;
    while (end > i && isBlank(text[end - 1]))
        --end;

    std::string out;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        out += text[i++];

    std::size_t digits = 0;
    while (i < end && isDigit(text[i])) {
        out += text[i++];
        ++digits;
    }
    if (i < end && text.substr(i, sep.size()) == sep) {
        i += sep.size();
        out += '.';
        while (i < end && isDigit(text[i])) {
            out += text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        typeMismatch();

    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        out += 'e';
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-'))
            out += text[i++];
        std::size_t expDigits = 0;
        while (i < end && isDigit(text[i])) {
            out += text[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            typeMismatch();
    }
    if (i != end)
        typeMismatch();
    return out;
}

} // namespace

double textToDouble(std::string_view text, char32_t decimalSeparator)
{
    const std::string number = canonical(text, decimalSeparator);
    errno = 0;
    char *stop = nullptr;
    const double value = std::strtod(number.c_str(), &stop);
    if (std::isinf(value))
        throw RuntimeError(ErrorCode::Overflow);
    // A number below the smallest double comes back as 0 (or a denormal) with ERANGE: that is
    // simply a very small delay, not an error.
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
