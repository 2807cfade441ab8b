// SPDX-License-Identifier: MIT
#include "Startup.h"

#include "Catalog.h"
#include "Dpi.h"
#include "Registry.h"
#include "Text.h"
#include "Win32Backend.h"

#include <commctrl.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace quill::win32 {

std::vector<std::string> arguments()
{
    // The C runtime's wide arguments: no shell32.dll for CommandLineToArgvW.
    std::vector<std::string> found;
    for (int i = 1; i < __argc && __wargv; ++i)
        found.push_back(narrow(__wargv[i]));
    return found;
}

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

namespace {

// Whether `handle` is where a shell's redirection or a terminal sends what the program says.
bool usable(HANDLE handle)
{
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

bool write(HANDLE to, const std::string &text)
{
    if (!usable(to))
        return false;
    DWORD mode = 0;
    if (GetConsoleMode(to, &mode)) {
        const std::wstring wide = widen(text);
        DWORD written = 0;
        return WriteConsoleW(to, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    }
    DWORD written = 0;
    return WriteFile(to, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
           && written == text.size();
}

} // namespace

void say(const std::string &text, bool error)
{
    // A program for the desktop has no console of its own: the text goes to the standard handle
    // it was given (a shell's redirection; under Wine, the terminal), else to the console of the
    // command prompt it was started from, and only where it has neither into a message box.
    if (write(GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), text))
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        const bool written = console != INVALID_HANDLE_VALUE && write(console, "\n" + text);
        if (console != INVALID_HANDLE_VALUE)
            CloseHandle(console);
        FreeConsole();
        if (written)
            return;
    }
    const UINT direction = rightToLeft() ? MB_RTLREADING | MB_RIGHT : 0;
    MessageBoxW(nullptr, widen(text).c_str(), L"Quillendor",
                MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION) | direction);
}

int run(HINSTANCE instance, const ProgramWindows &windows, std::span<const std::string> arguments)
{
    chooseLanguage(preferredLanguages());
    const CommandLineStyle style{"Quillendor.exe", true, {}};
    const CommandLine line =
        readCommandLine(arguments, style, windows, decimalSeparator());
    switch (line.answer) {
    case CommandLine::Answer::Help:
        say(helpText(style, decimalSeparator()), false);
        return ExitDone;
    case CommandLine::Answer::Version:
        say(versionText(), false);
        return ExitDone;
    case CommandLine::Answer::Mistake:
        say(mistakeText(style, line.mistake), true);
        return ExitUsage;
    case CommandLine::Answer::Run:
        break;
    }
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
        windows.define(registry);
        registry.setEndHandler([&](int code) {
            status = code;
            backend.end();
        });
        std::function<void()> asked;
        if (line.start != StartWith::Dialog)
            asked = [&] { windows.start(line.start, line.seconds); };
        if (startUp(registry, asked))
            backend.run();
    }
    setBackend(nullptr);
    return status;
}

} // namespace quill::win32
