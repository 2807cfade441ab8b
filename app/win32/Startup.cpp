// SPDX-License-Identifier: MIT
#include "Startup.h"

#include "Catalog.h"
#include "Dpi.h"
#include "Registry.h"
#include "Text.h"
#include "Win32Backend.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace quill::win32 {

std::vector<std::string> preferredLanguages()
{
    // The user's display languages, most preferred first, as a list of names each ended by a
    // zero, the list by a second one.
    ULONG count = 0, size = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0)
        return {};
    std::wstring names(size, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size))
        return {};
    std::vector<std::string> languages;
    for (std::size_t at = 0; at < names.size() && names[at];) {
        const std::size_t end = names.find(L'\0', at);
        languages.push_back(narrow(std::wstring_view(names).substr(at, end - at)));
        if (end == std::wstring::npos)
            break;
        at = end + 1;
    }
    return languages;
}

int run(HINSTANCE instance, const std::function<void(Registry &)> &defineWindows)
{
    chooseLanguage(preferredLanguages());
    // Arabic and Hebrew: every window the program makes is mirrored, as Windows mirrors its own.
    if (rightToLeft())
        SetProcessDefaultLayout(LAYOUT_RTL);
    becomeDpiAware();
    // The version 6 controls the manifest asks for.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Win32Backend backend(instance);
    setBackend(&backend);
    int status = 0;
    {
        Registry registry;
        defineWindows(registry);
        registry.setEndHandler([&](int code) {
            status = code;
            backend.end();
        });
        if (startUp(registry))
            backend.run();
    }
    setBackend(nullptr);
    return status;
}

} // namespace quill::win32
