// SPDX-License-Identifier: MIT
#pragma once

// The catalogs compiled into the Windows program, and which of them a user's list of languages
// asks for. Made from the same PO files as the Linux catalogs (po/compile_catalogs.py); a
// language's texts are looked up by their English text.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quill {

struct CatalogEntry {
    // The English text; for a text with a context, the context, a byte 4, then the text.
    std::string_view english;
    std::string_view translation;
};

struct CompiledLanguage {
    // As the PO file is named: "de", "pt_BR", "zh_TW".
    std::string_view code;
    // Sorted by the English text's bytes.
    std::span<const CatalogEntry> entries;
};

// The languages compiled into the program.
std::span<const CompiledLanguage> compiledLanguages();
// One more language to choose from, for the program's test build (its pseudo-language); before
// the choice is made.
void offerLanguage(const CompiledLanguage &language);

// The translation of `key` in `language`, if it has one.
std::optional<std::string_view> lookUp(const CompiledLanguage &language, std::string_view key);

// Which of `available` the user's languages ask for, first match winning: each of `preferred` as
// Windows names them ("pt-BR", "zh-Hant-TW", "de", most preferred first) is matched with its
// region ("pt_BR") before the language alone ("pt"); Chinese goes by its script (Traditional:
// "zh_TW", Simplified: "zh_CN"), or by its region where the script is not named. None where English
// comes first, or where no language of the list has a catalog.
std::optional<std::size_t> matchLanguage(std::span<const std::string> preferred,
                                         std::span<const CompiledLanguage> available);

} // namespace quill
