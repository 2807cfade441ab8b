// SPDX-License-Identifier: MIT
#include "Runtime.h"

#include <QLocale>

namespace quill {

char32_t userDecimalSeparator()
{
    const QString separator = QLocale::system().decimalPoint();
    if (separator.isEmpty())
        return U'.';
    return separator.toUcs4().value(0, U'.');
}

} // namespace quill
