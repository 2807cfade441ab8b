// SPDX-License-Identifier: MIT
#pragma once

// Keeps a window out of the taskbar and the pager. Only X11 has a way for a program to ask this of
// an ordinary window; elsewhere it does nothing. Call it once the window has its full-screen state
// and its flags.

class QWidget;

namespace quill {

void keepOutOfTaskbar(QWidget *window);

} // namespace quill
