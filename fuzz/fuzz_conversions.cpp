// SPDX-License-Identifier: MIT
// Fuzzes the text-to-number conversions with any bytes a user could paste into the delay box.
// Beyond not crashing, what is taken for a number must behave like one, and have the value the C
// library reads in the "C" locale, while the process runs in a comma locale as the program does.

#include "Conversions.h"
#include "RuntimeError.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <string_view>

using namespace quill;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The value of a text that was taken for a number, read by the C library in the "C" locale.
double reference(std::string_view text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(std::string(text).c_str(), nullptr, cLocale);
}

} // namespace

// The toolkit sets the C library's locale from the environment before the program reads any text.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        std::fprintf(stderr, "no locale de_DE.UTF-8: localedef -i de_DE -f UTF-8 de_DE.UTF-8\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    for (char32_t separator : {U'.', U',', U'\u066B'}) {
        double d = 0;
        bool isNumber = true;
        try {
            d = textToDouble(text, separator);
            check(std::isfinite(d));
            if (separator == U'.')
                check(d == reference(text));
        } catch (const RuntimeError &e) {
            isNumber = false;
            check(e.code() == ErrorCode::TypeMismatch || e.code() == ErrorCode::Overflow);
        }
        try {
            const std::int16_t n = textToInteger(text, separator);
            // The integer is the number rounded, and its decimal text reads back as itself.
            check(isNumber && std::nearbyint(d) == n);
            check(textToInteger(integerToText(n), separator) == n);
        } catch (const RuntimeError &e) {
            check(!isNumber || e.code() == ErrorCode::Overflow);
            if (isNumber)
                check(!(std::nearbyint(d) >= -32768 && std::nearbyint(d) <= 32767));
        }
        if (!isNumber)
            continue;
        // The delay as the setup dialog computes it.
        try {
            const std::int32_t interval = doubleToLong(checkedAdd(checkedMultiply(d, 1000), 1));
            check(std::abs(interval - (d * 1000 + 1)) <= 0.5);
        } catch (const RuntimeError &e) {
            check(e.code() == ErrorCode::Overflow);
        }
    }
    return 0;
}
