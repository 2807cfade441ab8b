// SPDX-License-Identifier: MIT
// The program's test build: Quillendor.exe's own start-up and windows over the backend built with
// the stand-ins of Seams.h, chosen on the command line (see Seams.cpp). The other arguments are
// the program's own command line.

#include "Forms.h"
#include "Languages.h"
#include "SeamOptions.h"
#include "Startup.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace quill {
// The pseudo-language's table (po/pseudo.py, po/compile_catalogs.py).
const CompiledLanguage &pseudoLanguage();
} // namespace quill

namespace {

// "A,B" as the names each ended by a zero: "A", 0, "B", 0.
std::wstring list(std::string_view commas)
{
    std::wstring names;
    for (const char c : commas)
        names += c == ',' ? L'\0' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return names + L'\0';
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // The test build's own options first; the rest are the program's command line.
    quill::seams::Options &o = quill::seams::options();
    std::vector<std::string> program;
    for (const std::string &arg : quill::win32::arguments()) {
        if (arg == "--refuse-foreground")
            o.refuseForeground = true;
        else if (arg == "--foreground-unchanged")
            o.foregroundUnchanged = true;
        else if (arg == "--refuse-lift")
            o.refuseLift = true;
        else if (arg == "--throw-in-click")
            o.throwInClick = true;
        else if (arg == "--throw-in-report")
            o.throwInReport = true;
        else if (arg == "--other-desktop")
            o.otherDesktop = true;
        else if (arg == "--dialogs-report")
            o.dialogsReport = true;
        else if (arg.starts_with("--dialogs-to-dpi=") && std::atoi(arg.c_str() + 17) > 0)
            o.dialogsToDpi = static_cast<unsigned>(std::atoi(arg.c_str() + 17));
        else if (arg == "--per-monitor-v2")
            o.perMonitorV2 = true;
        else if (arg.starts_with("--ui-languages=") && arg.size() > 15)
            o.uiLanguages = list(arg.substr(15));
        else if (arg.starts_with("--report-texts=") && arg.size() > 15)
            o.reportTexts = list(arg.substr(15));
        else if (arg.starts_with("--report-glyphs=") && arg.size() > 16)
            o.reportGlyphs = list(arg.substr(16));
        else
            program.push_back(arg);
    }
    if (o.dialogsReport || o.dialogsToDpi)
        quill::seams::watchDialogs();
    // The pseudo-language, which only this build offers: "qps-ploc" in --ui-languages.
    quill::offerLanguage(quill::pseudoLanguage());
    if (!o.reportTexts.empty() || !o.reportGlyphs.empty())
        return quill::seams::report(instance);
    return quill::win32::run(instance, quill::forms::programWindows(), program);
}
