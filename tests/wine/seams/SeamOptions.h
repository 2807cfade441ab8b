// SPDX-License-Identifier: MIT
#pragma once

// What the test build's command line asked of its stand-ins (Seams.h).

#include <windows.h>

#include <string>

namespace quill::seams {

struct Options {
    bool refuseForeground = false;    // --refuse-foreground
    bool foregroundUnchanged = false; // --foreground-unchanged
    bool refuseLift = false;          // --refuse-lift
    bool throwInClick = false;        // --throw-in-click
    bool throwInReport = false;       // --throw-in-report
    bool otherDesktop = false;        // --other-desktop
    // The scale of the dialogs (DialogScale.cpp).
    bool dialogsReport = false;    // --dialogs-report
    unsigned dialogsToDpi = 0;     // --dialogs-to-dpi=N (and the report)
    bool perMonitorV2 = false;     // --per-monitor-v2
    // The user's display languages, each ended by a zero (--ui-languages=A,B,...); empty: Wine's.
    std::wstring uiLanguages;
    // The languages to report on, each ended by a zero (Reports.cpp): their texts measured in
    // their windows (--report-texts=A,B,...), their characters drawn (--report-glyphs=A,B,...).
    std::wstring reportTexts;
    std::wstring reportGlyphs;
};

// Reports on each dialog once it is shown, first taken to dialogsToDpi where that is set.
void watchDialogs();

Options &options();

// The reports asked for, on standard output; the program then ends without a window.
int report(HINSTANCE instance);

} // namespace quill::seams
