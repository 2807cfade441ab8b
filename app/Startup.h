#pragma once

// Start-up: the registry is made, the startup window is loaded (its Load handler brings up the
// first visible window) and the event loop runs until the registry says the program is done.

#include <functional>
#include <string>
#include <vector>

namespace quill {

class Registry;

// Before QApplication is made: on a Wayland session, where no program may place its own windows,
// asks for XWayland when it is there, so that centring, placing and covering the screen hold.
// A platform the user chose (QT_QPA_PLATFORM) is left alone.
void preferXWayland();

// Before QApplication is made: where the environment names no session bus, tells libdbus there is
// none for this program (DBUS_SESSION_BUS_ADDRESS=disabled:). Otherwise the toolkit's first
// question to the bus starts one through dbus-launch, a daemon that outlives the program, and
// writes its address under ~/.dbus. A session bus that is named is used as it is.
void stayOffAbsentSessionBus();

// The environment variables the program set for itself alone before the toolkit started: the
// programs it starts get the user's environment, without them.
std::vector<std::string> variablesSetForThisProgram();

// Prepares the Qt application state the windows rely on: the classic look, the program's icon,
// and no quitting behind the registry's back. Call once after QApplication is made.
void prepareApplication();

// Loads the startup window through `registry`. Returns false if the program already ended.
bool startUp(Registry &registry);

// The whole program: returns the process exit status.
int run(int argc, char **argv, const std::function<void(Registry &)> &defineWindows);

} // namespace quill
