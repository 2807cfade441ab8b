// SPDX-License-Identifier: MIT
#include "Languages.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace quill {
namespace {

std::string lower(std::string_view text)
{
    std::string low(text);
    for (char &c : low)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return low;
}

// A language tag split at its hyphens (or underscores), lower case: "zh-Hant-TW" is zh, hant, tw.
std::vector<std::string> subtags(std::string_view tag)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : tag) {
        if (c == '-' || c == '_') {
            parts.push_back(lower(part));
            part.clear();
        } else if (c == '.' || c == '@') {
            break; // "de_DE.UTF-8", "sr@latin": what follows names no region
        } else {
            part += c;
        }
    }
    parts.push_back(lower(part));
    return parts;
}

bool isRegion(const std::string &subtag)
{
    return (subtag.size() == 2 && std::isalpha(static_cast<unsigned char>(subtag[0])))
           || (subtag.size() == 3 && std::isdigit(static_cast<unsigned char>(subtag[0])));
}

// The catalog codes one tag asks for, best first.
std::vector<std::string> wanted(std::string_view tag)
{
    const std::vector<std::string> parts = subtags(tag);
    const std::string &language = parts.front();
    std::string script, region;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].size() == 4 && script.empty() && region.empty())
            script = parts[i];
        else if (isRegion(parts[i]) && region.empty())
            region = parts[i];
    }
    if (language == "zh") {
        const bool traditional = script == "hant"
                                 || (script.empty()
                                     && (region == "tw" || region == "hk" || region == "mo"));
        return {traditional ? "zh_tw" : "zh_cn"};
    }
    std::vector<std::string> codes;
    if (!region.empty())
        codes.push_back(language + "_" + region);
    codes.push_back(language);
    return codes;
}

} // namespace

std::optional<std::string_view> lookUp(const CompiledLanguage &language, std::string_view key)
{
    const auto found = std::lower_bound(
        language.entries.begin(), language.entries.end(), key,
        [](const CatalogEntry &entry, std::string_view k) { return entry.english < k; });
    if (found == language.entries.end() || found->english != key || found->translation.empty())
        return std::nullopt;
    return found->translation;
}

std::optional<std::size_t> matchLanguage(std::span<const std::string> preferred,
                                         std::span<const CompiledLanguage> available)
{
    for (const std::string &tag : preferred) {
        if (tag.empty())
            continue;
        const std::vector<std::string> codes = wanted(tag);
        // English is the program's own language: nothing further down the list is looked at.
        if (codes.back() == "en")
            return std::nullopt;
        for (const std::string &code : codes)
            for (std::size_t i = 0; i < available.size(); ++i)
                if (lower(available[i].code) == code)
                    return i;
    }
    return std::nullopt;
}

} // namespace quill
