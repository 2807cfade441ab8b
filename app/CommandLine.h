// SPDX-License-Identifier: MIT
#pragma once

// The command line, with one meaning on both builds. Without options the program starts with its
// setup dialog; --delay, --now and --timer start the prank as if the dialog's Start had been
// pressed with a delay typed, with None ticked, or with Timer ticked, and the dialog never shows.
// --help and --version answer and start nothing. It is read before the toolkit starts, so that
// the answers and a mistake's message need no display at all.

#include "RuntimeError.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class Registry;

enum class StartWith { Dialog, Delay, Now, Timer };

// What start-up needs of the program's windows, which the runtime does not know of.
struct ProgramWindows {
    // Fills the registry with the windows.
    std::function<void(Registry &)> define;
    // The setup dialog's rule for a delay typed in seconds: the error the dialog reports for it,
    // or none where Start takes it.
    std::function<std::optional<RuntimeError>(std::string_view seconds, char32_t separator)>
        delayRefused;
    // Once the startup window has loaded: the prank started as the command line asks, the setup
    // dialog never on the screen.
    std::function<void(StartWith how, std::string_view seconds)> start;
};

struct CommandLine {
    enum class Answer { Run, Help, Version, Mistake };
    Answer answer = Answer::Run;
    StartWith start = StartWith::Dialog;
    std::string seconds; // --delay's, as typed
    std::string mistake; // what is wrong with the command line, in the user's language
};

// How the platform spells things: the program's name in messages, "/?" on Windows, and the
// options its toolkit reads itself (Qt's -display NAME), with whether each takes a value.
struct CommandLineStyle {
    std::string_view program;
    bool windows = false;
    std::span<const std::pair<std::string_view, bool>> toolkitOptions;
};

// `arguments` without the program's own name, in UTF-8. A delay is refused as the setup dialog
// refuses it, with `separator` its decimal separator.
CommandLine readCommandLine(std::span<const std::string> arguments, const CommandLineStyle &style,
                            const ProgramWindows &windows, char32_t separator);

// What --help and --version print, and what a mistake does: every line ends with a line break.
// The help gives the largest delay with the user's decimal separator.
std::string helpText(const CommandLineStyle &style, char32_t separator);
std::string versionText();
std::string mistakeText(const CommandLineStyle &style, const std::string &mistake);

// Exit statuses: the prank ran and ended, the program could not go on (a failure it reported, no
// display), the command line was wrong.
inline constexpr int ExitDone = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

} // namespace quill
