// SPDX-License-Identifier: MIT
#pragma once

// Every kind of delay text a user could type, and what Start and ">" make of it: the interval the
// delay timer gets, or the message the user sees while the dialog stays. Plain values, shared by
// the Qt Test suite and the Windows build's tests under Wine.
//
// The texts are written as typed in the C locale, in UTF-8. Typed in another locale, each '.'
// stands for that locale's decimal separator and each ',' for its group separator, and every
// outcome must be the same.

#include <string>
#include <vector>

namespace quill::test {

// The interval of a row whose text the user is told about instead.
inline constexpr int Message = -1;

struct DelayStartCase {
    const char *name;
    std::string text;
    int interval;      // Message when the user is told instead
    const char *error; // what the message says
};

inline std::vector<DelayStartCase> delayStartCases()
{
    return {
        // Empty and blank
        {"empty", "", Message, "Type mismatch"},
        {"one space", " ", Message, "Type mismatch"},
        {"tab", "\t", Message, "Type mismatch"},
        {"spaces around", "   7   ", 7001, ""},
        {"tab around", "\t7\t", 7001, ""},
        {"no-break space", "\u00A07", Message, "Type mismatch"},
        {"ideographic space", "7\u3000", Message, "Type mismatch"},
        // Signs
        {"plus", "+7", 7001, ""},
        {"minus zero", "-0", 1, ""},
        {"minus", "-1", Message, "Invalid property value"},
        {"two signs", "--1", Message, "Type mismatch"},
        {"sign after", "7-", Message, "Type mismatch"},
        {"minus sign character", "\u22127", Message, "Type mismatch"},
        // Separators
        {"decimal point", "1.5", 1501, ""},
        {"leading point", ".25", 251, ""},
        {"trailing point", "3.", 3001, ""},
        {"point alone", ".", Message, "Type mismatch"},
        {"group separator", "1,5", Message, "Type mismatch"},
        {"thousands", "1,000", Message, "Type mismatch"},
        {"two points", "1.2.3", Message, "Type mismatch"},
        {"space inside", "1 5", Message, "Type mismatch"},
        // Exponents
        {"exponent", "5e0", 5001, ""},
        {"capital exponent", "5E+0", 5001, ""},
        {"negative exponent", "5000e-3", 5001, ""},
        {"exponent alone", "e5", Message, "Type mismatch"},
        {"dangling exponent", "5e", Message, "Type mismatch"},
        {"fractional exponent", "5e0.5", Message, "Type mismatch"},
        // Huge
        {"largest that works", "65.534", 65535, ""},
        {"just past the top", "65.535", Message, "Invalid property value"},
        {"rounds past the top", "65.5346", Message, "Invalid property value"},
        {"66", "66", Message, "Invalid property value"},
        {"a day", "86400", Message, "Invalid property value"},
        {"past 32 bits", "2147484", Message, "Overflow"},
        {"far past 32 bits", "3000000", Message, "Overflow"},
        {"past a double when scaled", "1e306", Message, "Overflow"},
        {"past a double", "1e309", Message, "Overflow"},
        {"thousand nines", std::string(1000, '9'), Message, "Overflow"},
        // Tiny
        {"a microsecond", "0.000001", 1, ""},
        {"below a double", "1e-400", 1, ""},
        {"long zero fraction", "0." + std::string(5000, '0') + "1", 1, ""},
        // Negative
        {"rounds to 1", "-0.0004", 1, ""},
        {"rounds to 0 (upper)", "-0.0005", Message, "Invalid property value"},
        {"rounds to 0 (lower)", "-0.0015", Message, "Invalid property value"},
        {"rounds to 0", "-0.001", Message, "Invalid property value"},
        {"rounds to -1", "-0.0016", Message, "Invalid property value"},
        {"minus a half", "-0.5", Message, "Invalid property value"},
        {"large negative", "-32768", Message, "Invalid property value"},
        // Not numbers
        {"word", "five", Message, "Type mismatch"},
        {"unit", "5s", Message, "Type mismatch"},
        {"hexadecimal", "&H10", Message, "Type mismatch"},
        {"infinity", "Infinity", Message, "Type mismatch"},
        {"not a number", "NaN", Message, "Type mismatch"},
        // Non-ASCII
        {"full-width digit", "\uFF15", Message, "Type mismatch"},
        {"Arabic-Indic digit", "\u0665", Message, "Type mismatch"},
        {"superscript", "5\u00B2", Message, "Type mismatch"},
        {"emoji", "\U0001F600", Message, "Type mismatch"},
        {"accented letter", "\u00E9", Message, "Type mismatch"},
        // Very long
        {"long leading zeros", std::string(4000, '0') + "5", 5001, ""},
        {"long garbage", std::string(10000, 'x'), Message, "Type mismatch"},
    };
}

struct DelayUpCase {
    const char *name;
    std::string text;
    std::string after; // the delay box's text after ">"
    const char *error; // the message, or empty
};

inline std::vector<DelayUpCase> delayUpCases()
{
    return {
        {"blank", " ", " ", "Type mismatch"},
        {"fraction rounds down", "4.4", "9", ""},
        {"fraction rounds up", "4.6", "10", ""},
        {"rounds up to 3", "2.6", "8", ""},
        {"tie to even", "4.5", "9", ""},
        {"exponent", "1e1", "15", ""},
        {"negative", "-7.5", "-3", ""},
        {"tiny", "1e-300", "5", ""},
        {"lowest", "-32768.4", "-32763", ""},
        {"lowest tie stays in range", "-32768.5", "-32763", ""},
        {"too low", "-32768.6", "-32768.6", "Overflow"},
        {"huge", "1e20", "1e20", "Overflow"},
        {"non-ASCII", "\uFF15", "\uFF15", "Type mismatch"},
        {"group separator", "5,5", "5,5", "Type mismatch"},
    };
}

} // namespace quill::test
