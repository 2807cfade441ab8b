// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include "Catalog.h"
#include "Conversions.h"

#include <string_view>
#include <vector>

namespace quill {
namespace {

std::string_view optionName(std::string_view argument)
{
    return argument.substr(0, argument.find('='));
}

// The toolkit's option `argument` names, with or without a value after "=", written with one
// dash or two as the toolkit takes it.
const std::pair<std::string_view, bool> *toolkitOption(std::string_view argument,
                                                       const CommandLineStyle &style)
{
    std::string_view name = optionName(argument);
    if (!name.starts_with('-') || name.size() < 2)
        return nullptr;
    name.remove_prefix(name.starts_with("--") ? 2 : 1);
    for (const auto &option : style.toolkitOptions)
        if (option.first == name)
            return &option;
    return nullptr;
}

std::string optionForStart(StartWith start)
{
    switch (start) {
    case StartWith::Delay: return "--delay";
    case StartWith::Now: return "--now";
    case StartWith::Timer: return "--timer";
    case StartWith::Dialog: break;
    }
    return {};
}

// The columns a character takes on a terminal: two for the wide ones of East Asian scripts.
int columns(char32_t c)
{
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF)
                      || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF)
                      || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
                      || (c >= 0xFFE0 && c <= 0xFFE6);
    return wide ? 2 : 1;
}

// Chinese and Japanese break a line between any two characters; Korean, like the languages
// written with spaces, only at spaces.
bool breaksAnywhere(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x312F) || (c >= 0x3190 && c <= 0x9FFF)
           || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60);
}

// Punctuation that never starts a line (a closing bracket, a comma, a full stop, Japanese
// small kana), and that never ends one (an opening bracket).
bool closes(char32_t c)
{
    return std::u32string_view(U"、。，．・：；？！）"
                               U"」』】〕〉》ーぁぃぅ"
                               U"ぇぉっゃゅょッャュョ"
                               U"”’)]}.,:;!?")
               .find(c) != std::u32string_view::npos;
}

bool opens(char32_t c)
{
    return std::u32string_view(U"（「『【〔〈《“‘([{")
               .find(c) != std::u32string_view::npos;
}

// `text` in lines of at most `width` columns, the first starting at column `at`, the others
// indented to `indent`: broken at spaces, and between the characters of scripts that need none.
std::string wrapped(std::string_view text, std::size_t at, std::size_t indent,
                    std::size_t width = 79)
{
    struct Piece {
        std::string text;
        std::size_t columns = 0;
        bool spaceBefore = false;
    };
    std::vector<Piece> pieces;
    bool space = false;
    bool joinNext = false; // the last character was an opening bracket
    bool lastAnywhere = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const std::string_view bytes = text.substr(i, length);
        char32_t c = lead < 0x80 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < bytes.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(bytes[k]) & 0x3F);
        i += length;
        if (c == ' ') {
            space = true;
            continue;
        }
        const bool anywhere = breaksAnywhere(c);
        const bool newPiece = pieces.empty() || space
                              || (!joinNext && !closes(c) && (anywhere || lastAnywhere));
        if (newPiece)
            pieces.push_back({"", 0, space});
        pieces.back().text += bytes;
        pieces.back().columns += static_cast<std::size_t>(columns(c));
        space = false;
        joinNext = opens(c);
        lastAnywhere = anywhere;
    }
    std::string out;
    std::size_t column = at;
    bool lineStart = true;
    for (const Piece &p : pieces) {
        const std::size_t gap = (!lineStart && p.spaceBefore) ? 1 : 0;
        if (!lineStart && column + gap + p.columns > width) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            lineStart = true;
        }
        if (!lineStart && p.spaceBefore) {
            out += ' ';
            ++column;
        }
        out += p.text;
        column += p.columns;
        lineStart = false;
    }
    return out;
}

CommandLine mistake(std::string text)
{
    CommandLine line;
    line.answer = CommandLine::Answer::Mistake;
    line.mistake = std::move(text);
    return line;
}

} // namespace

CommandLine readCommandLine(std::span<const std::string> arguments, const CommandLineStyle &style,
                            const ProgramWindows &windows, char32_t separator)
{
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        const std::string_view name = optionName(argument);
        if (optionsEnded || argument == "-" || !argument.starts_with('-')) {
            if (!(style.windows && argument == "/?"))
                // TRANSLATORS: %s is a word of the command line that is no option, as typed.
                return mistake(trFormat("unexpected argument '%s'", {argument}));
            line.answer = CommandLine::Answer::Help;
            return line;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            line.answer = CommandLine::Answer::Help;
            return line;
        }
        if (argument == "--version") {
            line.answer = CommandLine::Answer::Version;
            return line;
        }
        StartWith start = StartWith::Dialog;
        if (name == "--delay") {
            start = StartWith::Delay;
            if (argument.size() > name.size()) {
                line.seconds = argument.substr(name.size() + 1);
            } else if (i + 1 < arguments.size()) {
                line.seconds = arguments[++i];
            } else {
                // TRANSLATORS: %s is the option as typed, --delay.
                return mistake(trFormat("option '%s' needs a number of seconds", {name}));
            }
            if (line.seconds.empty())
                return mistake(trFormat("option '%s' needs a number of seconds", {name}));
        } else if (name == "--now" || name == "--timer") {
            if (argument.size() > name.size())
                // TRANSLATORS: %s is the option as typed, --now or --timer.
                return mistake(trFormat("option '%s' takes no value", {name}));
            start = name == "--now" ? StartWith::Now : StartWith::Timer;
        } else if (const auto *option = toolkitOption(argument, style)) {
            // The toolkit's own: its value, if it takes one and has none after "=", follows.
            if (option->second && argument.find('=') == std::string::npos)
                ++i;
            continue;
        } else {
            // TRANSLATORS: %s is the option as typed.
            return mistake(trFormat("unrecognized option '%s'", {name}));
        }
        if (line.start != StartWith::Dialog && line.start != start)
            // TRANSLATORS: each %s is an option: --delay, --now or --timer.
            return mistake(trFormat("%s and %s cannot be used together",
                                    {optionForStart(line.start), optionForStart(start)}));
        line.start = start;
    }
    if (line.start == StartWith::Delay && windows.delayRefused) {
        if (const std::optional<RuntimeError> refused =
                windows.delayRefused(line.seconds, separator))
            // TRANSLATORS: the first %s is the number of seconds as typed, the second what is
            // wrong with it, one of the run-time errors ("Type mismatch").
            return mistake(trFormat("a delay of '%s' seconds cannot be used: %s",
                                    {line.seconds, tr(describe(refused->code()))}));
    }
    return line;
}

std::string helpText(const CommandLineStyle &style, char32_t separator)
{
    struct Option {
        std::string_view names;
        std::string_view description;
    };
    // TRANSLATORS: the options' descriptions in --help: short, lower case, no full stop at the
    // end, as GNU programs write them. SECONDS stays as it is: it is written in the option.
    const Option options[] = {
        {"--delay=SECONDS",
         tr("show the fake screen after SECONDS seconds, with no setup dialog; a click ends it")},
        {"--now", tr("show the fake screen at once, with no setup dialog; a click ends it")},
        {"--timer", tr("show the fake screen at once, with no setup dialog; it ends by itself "
                       "after one minute")},
        {style.windows ? "-h, --help, /?" : "-h, --help", tr("show this help and end")},
        {"--version", tr("show the version and end")},
    };
    constexpr std::size_t Column = 20;
    // TRANSLATORS: %s is the program's file name; OPTION may be translated.
    std::string text = trFormat("Usage: %s [OPTION]", {style.program}) + "\n";
    text += wrapped(tr("Shows a fake \"shutting down\" screen as a harmless prank. With no "
                       "option, a setup dialog asks how long to wait and how the fake screen "
                       "ends."),
                    0, 0);
    text += "\n\n";
    for (const Option &o : options) {
        text += "  ";
        text += o.names;
        if (o.names.size() + 4 > Column) {
            text += '\n';
            text.append(Column, ' ');
        } else {
            text.append(Column - 2 - o.names.size(), ' ');
        }
        text += wrapped(o.description, Column, Column);
        text += '\n';
    }
    text += "\n";
    // TRANSLATORS: SECONDS stays as it is, as in the --delay=SECONDS above; %s is the largest
    // delay, 65.5 with the user's decimal separator.
    text += wrapped(trFormat("SECONDS is written as in the setup dialog, with your language's "
                             "decimal separator, and may be at most %s.",
                             {"65" + utf8(separator) + "5"}),
                    0, 0);
    text += "\n\n";
    text += wrapped(tr("Exit status: 0 when the prank has ended (OK or Cancel), 1 when the "
                       "program could not go on, 2 when the command line is wrong."),
                    0, 0);
    text += "\n";
    return text;
}

std::string versionText()
{
    return "Quillendor 1.00\n"
           + wrapped(tr("Copyright (c) 2026 The Quillendor authors. Released under the MIT "
                        "licence: free to use, change and pass on, with no warranty."),
                     0, 0)
           + "\n";
}

std::string mistakeText(const CommandLineStyle &style, const std::string &mistake)
{
    // TRANSLATORS: %s is the program's file name; --help stays as it is.
    return std::string(style.program) + ": " + mistake + "\n"
           + trFormat("Try '%s --help' for more information.", {style.program}) + "\n";
}

} // namespace quill
