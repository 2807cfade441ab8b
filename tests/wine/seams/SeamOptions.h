// SPDX-License-Identifier: MIT
#pragma once

// What the test build's command line asked of its stand-ins (Seams.h).

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
};

// Reports on each dialog once it is shown, first taken to dialogsToDpi where that is set.
void watchDialogs();

Options &options();

} // namespace quill::seams
