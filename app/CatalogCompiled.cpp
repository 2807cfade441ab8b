// SPDX-License-Identifier: MIT
// The catalog on Windows: the languages compiled into the program (Languages.h), one of them
// chosen at start-up from the user's UI languages.
#include "Catalog.h"

#include "Languages.h"

#include <vector>

namespace quill {
namespace {

const CompiledLanguage *g_language = nullptr;
std::vector<CompiledLanguage> g_offered;

} // namespace

std::optional<std::string_view> catalogEntry(std::string_view key)
{
    if (!g_language)
        return std::nullopt;
    return lookUp(*g_language, key);
}

void offerLanguage(const CompiledLanguage &language) { g_offered.push_back(language); }

void chooseLanguage(std::span<const std::string> preferred)
{
    static std::vector<CompiledLanguage> languages;
    const std::span<const CompiledLanguage> compiled = compiledLanguages();
    languages.assign(compiled.begin(), compiled.end());
    languages.insert(languages.end(), g_offered.begin(), g_offered.end());
    const std::optional<std::size_t> chosen = matchLanguage(preferred, languages);
    g_language = chosen ? &languages[*chosen] : nullptr;
}

} // namespace quill
