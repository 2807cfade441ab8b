// SPDX-License-Identifier: MIT
#pragma once

// Start-up: the registry is made, the startup window is loaded (its Load handler brings up the
// first visible window) and the event loop runs until the registry says the program is done.

#include "CommandLine.h"

#include <functional>
#include <string>
#include <vector>

namespace quill {

class Registry;

// Before QApplication is made: picks the window system. On a Wayland session with an X server
// (XWayland) the program runs on X11, where it may place its own windows and keep the fake screens
// above everything, except under sway, which gives X11 windows no say in their output; with no X
// server it runs on Wayland itself. A platform the user chose (QT_QPA_PLATFORM) is left alone.
void choosePlatform();

// Watches the window system from before QApplication is made to the end of the program. If none
// can be started (no display at all, a display that does not answer, a platform plugin missing),
// or the display goes away while the program runs, the program says so in one line on standard
// error and ends with status 1, where Qt would abort, or print lines of its own and of Xlib.
// Qt's messages while the platform starts are held until platformStarted(), called once
// QApplication is made.
void watchPlatform();
void platformStarted();

// Before QApplication is made: where the environment names no session bus, tells libdbus there is
// none for this program (DBUS_SESSION_BUS_ADDRESS=disabled:). Otherwise the toolkit's first
// question to the bus starts one through dbus-launch, a daemon that outlives the program, and
// writes its address under ~/.dbus. A session bus that is named is used as it is.
void stayOffAbsentSessionBus();

// The environment variables the program set for itself alone before the toolkit started: the
// programs it starts get the user's environment, without them.
std::vector<std::string> variablesSetForThisProgram();

// Prepares the Qt application state the windows rely on: the classic look, the program's icon,
// no quitting behind the registry's back, and the Qt backend for the runtime. Call once after
// QApplication is made.
void prepareApplication();

// How the command line is read on Linux: Qt's own options are left to Qt.
const CommandLineStyle &commandLineStyle();

// The user's decimal separator, also before QApplication is made.
char32_t decimalSeparator();

// The whole program, to the end of the process: the command line first (--help, --version and a
// mistake are answered before the window system starts), then the windows. It ends the process
// with the status the registry gave when it ended (0, or 1 after the default error report), or 2
// for a mistake on the command line.
[[noreturn]] void run(int argc, char **argv, const ProgramWindows &windows);

} // namespace quill
