// SPDX-License-Identifier: MIT
// The catalog on Linux: the compiled catalogs installed where every program's are
// (/usr/share/locale/LANG/LC_MESSAGES/quillendor.mo), chosen from the user's settings by the
// rules every gettext program follows (CompiledCatalog.h), each read whole and checked before it
// is used.
#include "Catalog.h"

#include "CompiledCatalog.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <list>
#include <sys/stat.h>

#ifndef QUILLENDOR_LOCALEDIR
#define QUILLENDOR_LOCALEDIR "/usr/share/locale"
#endif

namespace quill {
namespace {

// Far more than a catalog of this program's texts takes: a larger file is no catalog of it.
constexpr std::streamsize LargestCatalog = 4 << 20;

// Every catalog read stays as long as the program: texts looked up in it may still be shown.
std::list<CompiledCatalog> &loaded()
{
    static std::list<CompiledCatalog> catalogs;
    return catalogs;
}

const CompiledCatalog *g_catalog = nullptr;

std::string programFolder()
{
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return {};
    path.resize(static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool isFolder(const std::string &path)
{
    struct stat s {};
    return !path.empty() && stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

std::optional<std::string> contents(const std::string &path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return std::nullopt;
    const std::streamoff size = file.tellg();
    if (size < 0 || size > LargestCatalog || !file.seekg(0))
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    // A file that changed its length meanwhile is read as far as it goes, then checked whole.
    file.read(bytes.data(), size);
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

} // namespace

std::string catalogFolder()
{
    // Run from its build tree, the program finds the catalogs compiled there beside it.
    const std::string built = programFolder() + "/locale";
    return isFolder(built) ? built : std::string(QUILLENDOR_LOCALEDIR);
}

std::optional<std::string_view> catalogEntry(std::string_view key)
{
    if (!g_catalog)
        return std::nullopt;
    return lookUp(g_catalog->language(), key);
}

void startCatalogs(const std::string &folder)
{
    // Settings naming a locale this system does not have leave the program in the C locale, as
    // they leave every program.
    if (!std::setlocale(LC_ALL, ""))
        std::setlocale(LC_ALL, "C");
    const char *messages = std::setlocale(LC_MESSAGES, nullptr);
    const char *list = std::getenv("LANGUAGE");
    const std::string from = folder.empty() ? catalogFolder() : folder;
    g_catalog = nullptr;
    for (const std::string &code : wantedCatalogs(list ? list : "", messages ? messages : "")) {
        const std::optional<std::string> bytes =
            contents(from + "/" + code + "/LC_MESSAGES/" + TextDomain + ".mo");
        if (!bytes)
            continue;
        if (std::optional<CompiledCatalog> catalog = CompiledCatalog::read(*bytes, code)) {
            g_catalog = &loaded().emplace_back(std::move(*catalog));
            return;
        }
    }
}

} // namespace quill
