// SPDX-License-Identifier: MIT
#pragma once

// What the test build's command line asked of its stand-ins (Seams.h).

namespace quill::seams {

struct Options {
    bool refuseForeground = false; // --refuse-foreground
    bool throwInClick = false;     // --throw-in-click
};

Options &options();

} // namespace quill::seams
