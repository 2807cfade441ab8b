// SPDX-License-Identifier: MIT
#pragma once

// A compiled catalog (a .mo file, as msgfmt writes it) read from its bytes, and checked whole
// before any text of it is used: a catalog that is damaged, cut short, in another character set
// than UTF-8 or not a catalog at all is refused, and the program speaks the next language the
// user asked for, or English. The C library's gettext trusts the offsets a catalog holds, and a
// damaged one can crash the program that reads it.

#include "Languages.h"

#include <optional>
#include <string>
#include <vector>

namespace quill {

class CompiledCatalog {
public:
    // None when `bytes` is not a whole, well-formed UTF-8 catalog.
    static std::optional<CompiledCatalog> read(std::string bytes, std::string code);

    // The catalog as a language to look texts up in; valid as long as this object.
    CompiledLanguage language() const { return {m_code, m_entries}; }

private:
    std::string m_bytes;
    std::string m_code;
    std::vector<CatalogEntry> m_entries; // views into m_bytes, sorted by the English text
};

// The catalogs a gettext program looks for, most wanted first: the names in LANGUAGE (a list
// separated by colons) unless the messages' locale is C or POSIX, where only English is spoken;
// otherwise the locale itself. Each name as it is and then shorter, "pt_BR.UTF-8@x" as pt_BR@x,
// pt_BR, pt@x, pt.
std::vector<std::string> wantedCatalogs(const std::string &languageList,
                                        const std::string &messagesLocale);

} // namespace quill
