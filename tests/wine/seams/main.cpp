// SPDX-License-Identifier: MIT
// The program's test build: Quillendor.exe's own start-up and windows over the backend built with
// the stand-ins of Seams.h, chosen on the command line (see Seams.cpp). Unknown options end it
// with status 2 before any window.

#include "Forms.h"
#include "SeamOptions.h"
#include "Startup.h"

#include <shellapi.h>

#include <string_view>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int count = 0;
    wchar_t **args = CommandLineToArgvW(GetCommandLineW(), &count);
    quill::seams::Options &o = quill::seams::options();
    for (int i = 1; args && i < count; ++i) {
        const std::wstring_view arg = args[i];
        if (arg == L"--refuse-foreground")
            o.refuseForeground = true;
        else if (arg == L"--foreground-unchanged")
            o.foregroundUnchanged = true;
        else if (arg == L"--refuse-lift")
            o.refuseLift = true;
        else if (arg == L"--throw-in-click")
            o.throwInClick = true;
        else if (arg == L"--throw-in-report")
            o.throwInReport = true;
        else if (arg == L"--other-desktop")
            o.otherDesktop = true;
        else if (arg == L"--dialogs-report")
            o.dialogsReport = true;
        else if (arg.starts_with(L"--dialogs-to-dpi=") && _wtoi(arg.data() + 17) > 0)
            o.dialogsToDpi = static_cast<unsigned>(_wtoi(arg.data() + 17));
        else if (arg == L"--per-monitor-v2")
            o.perMonitorV2 = true;
        else {
            LocalFree(args);
            return 2;
        }
    }
    LocalFree(args);
    if (o.dialogsReport || o.dialogsToDpi)
        quill::seams::watchDialogs();
    return quill::win32::run(instance, quill::forms::defineWindows);
}
