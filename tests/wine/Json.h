// SPDX-License-Identifier: MIT
#pragma once

// A text as a JSON string, for the test programs under Wine that report in JSON lines.

#include <cstdio>
#include <string>
#include <string_view>

inline std::string json(std::string_view text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
