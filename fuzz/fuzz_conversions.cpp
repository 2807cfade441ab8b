// Fuzzes the text-to-number conversions with any bytes a user could paste into the delay box.
// Beyond not crashing, what is taken for a number must behave like one.

#include "Conversions.h"
#include "RuntimeError.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quill;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    for (char32_t separator : {U'.', U',', U'\u066B'}) {
        double d = 0;
        bool isNumber = true;
        try {
            d = textToDouble(text, separator);
            check(std::isfinite(d));
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
