// SPDX-License-Identifier: MIT
#include "Catalog.h"

#include <optional>
#include <vector>

namespace quill {
namespace {

// The argument a placeholder at `at` takes (0 for the first), its length in `length`; none for
// "%%" or for a percent sign that starts no placeholder. `next` is the argument a plain "%s" takes.
std::optional<int> placeholderAt(std::string_view text, std::size_t at, int next,
                                 std::size_t &length)
{
    length = 1;
    if (at + 1 >= text.size())
        return std::nullopt;
    if (text[at + 1] == 's') {
        length = 2;
        return next;
    }
    if (text[at + 1] == '%') {
        length = 2;
        return std::nullopt;
    }
    std::size_t i = at + 1;
    int number = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && number < 100)
        number = number * 10 + (text[i++] - '0');
    if (number > 0 && i + 1 < text.size() && text[i] == '$' && text[i + 1] == 's') {
        length = i + 2 - at;
        return number - 1;
    }
    return std::nullopt;
}

// How often each argument is taken; an unknown placeholder counts as one of its own.
std::vector<int> placeholders(std::string_view text)
{
    std::vector<int> uses;
    int next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        std::size_t length = 1;
        const std::optional<int> argument = placeholderAt(text, i, next, length);
        if (argument) {
            if (uses.size() <= static_cast<std::size_t>(*argument))
                uses.resize(static_cast<std::size_t>(*argument) + 1);
            ++uses[static_cast<std::size_t>(*argument)];
            next = *argument + 1;
        } else if (length == 1) {
            uses.push_back(-1);
        }
        i += length - 1;
    }
    return uses;
}

} // namespace

bool samePlaceholders(std::string_view english, std::string_view translation)
{
    return placeholders(english) == placeholders(translation);
}

std::string fillPlaceholders(std::string_view pattern,
                             std::initializer_list<std::string_view> arguments)
{
    std::string filled;
    int next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            filled += pattern[i];
            continue;
        }
        std::size_t length = 1;
        const std::optional<int> argument = placeholderAt(pattern, i, next, length);
        if (argument) {
            if (static_cast<std::size_t>(*argument) < arguments.size())
                filled += *(arguments.begin() + *argument);
            next = *argument + 1;
        } else {
            filled += '%';
        }
        i += length - 1;
    }
    return filled;
}

std::string_view tr(std::string_view english) { return catalogEntry(english).value_or(english); }

std::string_view trContext(std::string_view context, std::string_view english)
{
    std::string key(context);
    key += '\004';
    key += english;
    return catalogEntry(key).value_or(english);
}

std::string trFormat(std::string_view english, std::initializer_list<std::string_view> arguments)
{
    const std::string_view translation = tr(english);
    return fillPlaceholders(samePlaceholders(english, translation) ? translation : english,
                            arguments);
}

std::vector<ControlDesc> translated(std::span<const ControlDesc> controls)
{
    std::vector<ControlDesc> result(controls.begin(), controls.end());
    for (ControlDesc &c : result)
        if (!c.caption.empty()
            && (c.kind == Kind::Label || c.kind == Kind::CommandButton || c.kind == Kind::CheckBox))
            c.caption = tr(c.caption);
    return result;
}

bool rightToLeft()
{
    // TRANSLATORS: not shown: "RTL" where the language is written from right to left, so that
    // the windows are mirrored; "LTR" otherwise.
    return trContext("text direction", "LTR") == "RTL";
}

} // namespace quill
