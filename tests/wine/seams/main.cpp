// SPDX-License-Identifier: MIT
// The program's test build: Quillendor.exe's own start-up and windows over the backend built with
// the stand-ins of Seams.h, chosen on the command line (see Seams.cpp). Unknown options end it
// with status 2 before any window.

#include "Forms.h"
#include "Languages.h"
#include "SeamOptions.h"
#include "Startup.h"

#include <shellapi.h>

#include <string_view>

namespace quill {
// The pseudo-language's table (po/pseudo.py, po/compile_catalogs.py).
const CompiledLanguage &pseudoLanguage();
} // namespace quill

namespace {

// "A,B" as the names each ended by a zero: "A", 0, "B", 0.
std::wstring list(std::wstring_view commas)
{
    std::wstring names(commas);
    for (wchar_t &c : names)
        if (c == L',')
            c = L'\0';
    return names + L'\0';
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int count = 0;
    wchar_t **args = CommandLineToArgvW(GetCommandLineW(), &count);
    quill::seams::Options &o = quill::seams::options();
    for (int i = 1; args && i < count; ++i) {
        const std::wstring_view arg = args[i];
        if (arg == L"--refuse-foreground")
            o.refuseForeground = true;
        else if (arg == L"--throw-in-click")
            o.throwInClick = true;
        else if (arg == L"--dialogs-report")
            o.dialogsReport = true;
        else if (arg.starts_with(L"--dialogs-to-dpi=") && _wtoi(arg.data() + 17) > 0)
            o.dialogsToDpi = static_cast<unsigned>(_wtoi(arg.data() + 17));
        else if (arg == L"--per-monitor-v2")
            o.perMonitorV2 = true;
        else if (arg.starts_with(L"--ui-languages=") && arg.size() > 15)
            o.uiLanguages = list(arg.substr(15));
        else if (arg.starts_with(L"--report-texts=") && arg.size() > 15)
            o.reportTexts = list(arg.substr(15));
        else if (arg.starts_with(L"--report-glyphs=") && arg.size() > 16)
            o.reportGlyphs = list(arg.substr(16));
        else {
            LocalFree(args);
            return 2;
        }
    }
    LocalFree(args);
    if (o.dialogsReport || o.dialogsToDpi)
        quill::seams::watchDialogs();
    // The pseudo-language, which only this build offers: "qps-ploc" in --ui-languages.
    quill::offerLanguage(quill::pseudoLanguage());
    if (!o.reportTexts.empty() || !o.reportGlyphs.empty())
        return quill::seams::report(instance);
    return quill::win32::run(instance, quill::forms::defineWindows);
}
