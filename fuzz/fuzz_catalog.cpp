// SPDX-License-Identifier: MIT
// Fuzzes the reading of a compiled catalog and the filling of a translation's placeholders: the
// fuzzer writes the catalog's bytes. Whatever they are, a catalog is either refused or gives only
// texts inside its own bytes, valid UTF-8, sorted so that each is found again; and filling the
// placeholders of any of its translations with the English text's arguments reads nothing past
// the arguments given.

#include "Catalog.h"
#include "CompiledCatalog.h"

#include <cstdlib>
#include <string>

using namespace quill;

namespace quill {
// The program's choice of a catalog is not fuzzed here: the catalog is.
std::optional<std::string_view> catalogEntry(std::string_view) { return std::nullopt; }
} // namespace quill

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Reads every byte of `text` (the address sanitizer stops at one outside the catalog's own) and
// says whether it is well-formed UTF-8.
bool utf8(std::string_view text)
{
    int more = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (more > 0) {
            if ((byte & 0xC0) != 0x80)
                return false;
            --more;
        } else if (byte >= 0x80) {
            more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC2 ? 1 : -1;
            if (more < 0 || byte > 0xF4)
                return false;
        }
    }
    return more == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::optional<CompiledCatalog> catalog = CompiledCatalog::read(bytes, "xx");
    if (!catalog)
        return 0;
    const CompiledLanguage language = catalog->language();
    std::string_view previous;
    for (const CatalogEntry &entry : language.entries) {
        check(utf8(entry.translation));
        check(!entry.english.empty() && entry.english.find('\0') == std::string_view::npos);
        check(previous <= entry.english);
        previous = entry.english;
        const std::optional<std::string_view> found = lookUp(language, entry.english);
        check(found.has_value() && !found->empty());
        // Whatever placeholders a translation has, only those of the English text are filled,
        // with as many arguments as the English text takes.
        const std::string filled = fillPlaceholders(
            samePlaceholders(entry.english, entry.translation) ? entry.translation : entry.english,
            {"first", "second"});
        check(filled.size() < entry.translation.size() + entry.english.size() + 64 * 13);
    }
    return 0;
}
