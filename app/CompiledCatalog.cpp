// SPDX-License-Identifier: MIT
#include "CompiledCatalog.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quill {
namespace {

constexpr std::uint32_t Magic = 0x950412de;
constexpr std::uint32_t Swapped = 0xde120495;

class Reader {
public:
    Reader(const std::string &bytes, bool swap) : m_bytes(bytes), m_swap(swap) {}

    std::optional<std::uint32_t> word(std::uint64_t at) const
    {
        if (at + 4 > m_bytes.size())
            return std::nullopt;
        std::uint32_t w;
        std::memcpy(&w, m_bytes.data() + at, 4);
        if (m_swap)
            w = (w >> 24) | ((w >> 8) & 0xff00) | ((w << 8) & 0xff0000) | (w << 24);
        return w;
    }

    // The string of the table entry at `at` (its length, then its offset), which must end with a
    // zero byte inside the file.
    std::optional<std::string_view> string(std::uint64_t at) const
    {
        const auto length = word(at), offset = word(at + 4);
        if (!length || !offset)
            return std::nullopt;
        const std::uint64_t end = std::uint64_t{*offset} + *length;
        if (end >= m_bytes.size() || m_bytes[end] != '\0')
            return std::nullopt;
        return std::string_view(m_bytes.data() + *offset, *length);
    }

private:
    const std::string &m_bytes;
    bool m_swap;
};

bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3
                                              : (c >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || (length > 1 && c < 0xc2) || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2)
                return false;
        i += length;
    }
    return true;
}

// What the catalog says of itself, as the translation of the empty text: its character set.
bool saysUtf8(std::string_view header)
{
    std::string lower(header);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("charset=utf-8") != std::string::npos;
}

} // namespace

std::optional<CompiledCatalog> CompiledCatalog::read(std::string bytes, std::string code)
{
    CompiledCatalog catalog;
    catalog.m_bytes = std::move(bytes);
    catalog.m_code = std::move(code);
    const std::string &b = catalog.m_bytes;
    std::uint32_t magic = 0;
    if (b.size() < 28)
        return std::nullopt;
    std::memcpy(&magic, b.data(), 4);
    if (magic != Magic && magic != Swapped)
        return std::nullopt;
    const Reader r(b, magic == Swapped);
    const auto revision = r.word(4), count = r.word(8), originals = r.word(12),
               translations = r.word(16);
    // Revisions 0 and 1 are the ones gettext reads; 1 adds system-dependent strings, which
    // msgfmt writes only for C format macros the program does not use.
    if (!revision || (*revision >> 16) > 1 || !count || !originals || !translations)
        return std::nullopt;
    bool header = false;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto english = r.string(std::uint64_t{*originals} + 8ull * i);
        const auto translated = r.string(std::uint64_t{*translations} + 8ull * i);
        if (!english || !translated)
            return std::nullopt;
        // Plural forms follow the first one, each after a zero byte: the program uses none.
        const std::string_view text = translated->substr(0, translated->find('\0'));
        if (english->empty()) {
            header = saysUtf8(text);
            continue;
        }
        const std::string_view id = english->substr(0, english->find('\0'));
        if (!id.empty() && !text.empty() && isUtf8(text))
            catalog.m_entries.push_back({id, text});
    }
    if (!header)
        return std::nullopt;
    std::sort(catalog.m_entries.begin(), catalog.m_entries.end(),
              [](const CatalogEntry &a, const CatalogEntry &b) { return a.english < b.english; });
    return catalog;
}

std::vector<std::string> wantedCatalogs(const std::string &languageList,
                                        const std::string &messagesLocale)
{
    if (messagesLocale.empty() || messagesLocale == "C" || messagesLocale == "POSIX")
        return {};
    std::vector<std::string> names;
    if (languageList.empty()) {
        names.push_back(messagesLocale);
    } else {
        std::size_t at = 0;
        while (at <= languageList.size()) {
            const std::size_t end = std::min(languageList.find(':', at), languageList.size());
            if (end > at)
                names.push_back(languageList.substr(at, end - at));
            at = end + 1;
        }
    }
    std::vector<std::string> wanted;
    auto add = [&wanted](const std::string &name) {
        // A name is a folder's: nothing that leads out of the catalogs' folder.
        if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != ".."
            && std::find(wanted.begin(), wanted.end(), name) == wanted.end())
            wanted.push_back(name);
    };
    for (const std::string &name : names) {
        const std::size_t at = name.find('@');
        const std::string modifier = at == std::string::npos ? "" : name.substr(at);
        std::string base = name.substr(0, at);
        base = base.substr(0, base.find('.'));
        const std::string language = base.substr(0, base.find('_'));
        add(name);
        add(base + modifier);
        add(base);
        add(language + modifier);
        add(language);
    }
    return wanted;
}

} // namespace quill
