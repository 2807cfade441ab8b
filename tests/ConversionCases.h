// SPDX-License-Identifier: MIT
#pragma once

// Which texts the program takes for numbers and how it rounds them, as tables of plain values:
// the Qt Test suite fills its _data functions from them, and the Windows build's tests under Wine
// walk the same rows (a 32-bit `long` there must change no outcome).

#include "RuntimeError.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace quill::test {

struct TextToDoubleAccepted {
    const char *name;
    std::string text;
    char32_t separator;
    double expected;
};

inline std::vector<TextToDoubleAccepted> textToDoubleAccepted()
{
    return {
        {"whole", "5", U'.', 5.0},
        {"fraction", "2.5", U'.', 2.5},
        {"leading separator", ".5", U'.', 0.5},
        {"trailing separator", "5.", U'.', 5.0},
        {"plus sign", "+7", U'.', 7.0},
        {"minus sign", "-0.25", U'.', -0.25},
        {"surrounding blanks", "  12 \t", U'.', 12.0},
        {"exponent", "1e3", U'.', 1000.0},
        {"capital exponent with sign", "2.5E-1", U'.', 0.25},
        {"leading zeros", "007", U'.', 7.0},
        {"comma locale", "2,5", U',', 2.5},
        {"non-ASCII separator", "2\u066B5", U'\u066B', 2.5},
        {"too small becomes zero", "1e-400", U'.', 0.0},
        {"too small, positive exponent", "0." + std::string(400, '0') + "1e10", U'.', 0.0},
        {"too small, exponent past 64 bits", "-9e-99999999999999999999", U'.', 0.0},
        {"largest double", "1,7976931348623157e308", U',', 1.7976931348623157e308},
        {"many digits", std::string(300, '0') + "1", U'.', 1.0},
    };
}

struct TextToDoubleRejected {
    const char *name;
    std::string text;
    char32_t separator;
    ErrorCode error;
};

inline std::vector<TextToDoubleRejected> textToDoubleRejected()
{
    const auto mismatch = ErrorCode::TypeMismatch;
    return {
        {"empty", "", U'.', mismatch},
        {"blanks only", "   ", U'.', mismatch},
        {"word", "abc", U'.', mismatch},
        {"trailing word", "5 seconds", U'.', mismatch},
        {"sign alone", "-", U'.', mismatch},
        {"separator alone", ".", U'.', mismatch},
        {"two signs", "+-5", U'.', mismatch},
        {"two separators", "1.2.3", U'.', mismatch},
        {"inner blank", "1 000", U'.', mismatch},
        {"thousands separator", "1,000", U'.', mismatch},
        {"other locale's separator", "2.5", U',', mismatch},
        {"exponent without digits", "1e", U'.', mismatch},
        {"exponent sign only", "1e+", U'.', mismatch},
        {"hexadecimal", "&h10", U'.', mismatch},
        {"C hexadecimal", "0x10", U'.', mismatch},
        {"infinity word", "inf", U'.', mismatch},
        {"not a number word", "nan", U'.', mismatch},
        {"full-width digit", "\uFF15", U'.', mismatch},
        {"no-break space", "\u00A05", U'.', mismatch},
        {"embedded NUL", std::string("5\0", 2), U'.', mismatch},
        {"too large", "1e400", U'.', ErrorCode::Overflow},
        {"too large negative", "-1e400", U'.', ErrorCode::Overflow},
        {"just past the largest", "1,7976931348623159e308", U',', ErrorCode::Overflow},
        {"too large, negative exponent", "1" + std::string(400, '0') + "e-10", U'.',
         ErrorCode::Overflow},
        {"too large, exponent past 64 bits", "1e99999999999999999999", U'.', ErrorCode::Overflow},
    };
}

struct TextToIntegerCase {
    const char *name;
    std::string text;
    int expected;
    int error; // the error number, 0 when the text converts
};

inline std::vector<TextToIntegerCase> textToIntegerCases()
{
    const int overflow = int(ErrorCode::Overflow);
    return {
        {"whole", "57", 57, 0},
        {"tie down to even", "2.5", 2, 0},
        {"tie up to even", "3.5", 4, 0},
        {"negative tie", "-2.5", -2, 0},
        {"below half", "7.49", 7, 0},
        {"above half", "7.51", 8, 0},
        {"lowest", "-32768", -32768, 0},
        {"highest", "32767", 32767, 0},
        {"rounds to highest", "32767.4", 32767, 0},
        {"rounds past highest", "32767.5", 0, overflow},
        {"past lowest", "-32769", 0, overflow},
        {"huge", "1e300", 0, overflow},
        {"not a number", "five", 0, int(ErrorCode::TypeMismatch)},
    };
}

struct DoubleToLongCase {
    const char *name;
    double value;
    std::int64_t expected; // -1 with overflow set
    bool overflow;
};

inline std::vector<DoubleToLongCase> doubleToLongCases()
{
    return {
        {"tie to even down", 2500.5, 2500, false},
        {"tie to even up", 2501.5, 2502, false},
        {"negative half to zero", -0.5, 0, false},
        {"minus one and a half", -1.5, -2, false},
        {"largest", 2147483647.0, 2147483647, false},
        {"smallest", -2147483648.0, -2147483648LL, false},
        {"past largest", 2147483647.5, -1, true},
        {"past smallest", -2147483649.0, -1, true},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), -1, true},
        {"infinity", std::numeric_limits<double>::infinity(), -1, true},
    };
}

// Checked arithmetic: a * b, or a + b; an infinite or undefined result is an Overflow.
struct CheckedArithmeticCase {
    const char *name;
    char operation; // '*' or '+'
    double a;
    double b;
    double expected; // unused when overflow is set
    bool overflow;
};

inline std::vector<CheckedArithmeticCase> checkedArithmeticCases()
{
    const double max = std::numeric_limits<double>::max();
    const double inf = std::numeric_limits<double>::infinity();
    return {
        {"delay in ms", '*', 2.5, 1000, 2500.0, false},
        {"one ms more", '+', 2500.0, 1, 2501.0, false},
        {"product too large", '*', 1e308, 1000, 0, true},
        {"sum too large", '+', max, 1e300, 0, true},
        {"infinity times zero", '*', inf, 0, 0, true},
    };
}

// Waits stop short of the deadline by 0.2% and a millisecond; the last two milliseconds or less
// are slept on the spot (a wait of zero).
struct NextWaitCase {
    const char *name;
    std::int64_t remainingNs;
    std::int64_t expectedMs;
};

inline std::vector<NextWaitCase> nextWaitCases()
{
    return {
        {"five seconds", 5'000'000'000, 4989},
        {"a minute", 60'000'000'000, 59879},
        {"65.535 s", 65'535'000'000, 65402},
        {"left after first wait", 10'500'000, 9},
        {"just over the sleep", 2'500'000, 1},
        {"two ms", 2'000'000, 0},
        {"a few microseconds", 3'000, 0},
        {"due", 0, 0},
        {"overdue", -4'000'000, 0},
    };
}

} // namespace quill::test
