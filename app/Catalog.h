// SPDX-License-Identifier: MIT
#pragma once

// The program's texts in the user's language. Every text a person sees is written in English where
// it is used, marked for the catalog, and looked up as it is shown: in the catalog of the first of
// the user's languages that has one, English where none has. The marks are what xgettext reads to
// make the translators' template, po/quillendor.pot: N_ in tables, tr and trContext in code.
//
// Linux looks texts up in the compiled catalogs installed where every program's are, chosen as
// every gettext program chooses them (CompiledCatalog.h); Windows has no gettext, and looks them
// up in the catalogs compiled into the program (Languages.h).

#include "Description.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The catalogs' name, and their files' (quillendor.mo).
inline constexpr const char *TextDomain = "quillendor";

// Marks a text written down in a table, such as a description's captions; it is looked up where
// it is shown.
constexpr std::string_view N_(std::string_view english) { return english; }

// The text in the user's language, or `english` itself where the catalog has none. Lives as long
// as the program.
std::string_view tr(std::string_view english);
// The same for a text that means something else in another context.
std::string_view trContext(std::string_view context, std::string_view english);

// A text of the catalog with its placeholders filled: "%s" takes the next argument, "%1$s" the
// first, "%%" is a percent sign. A translation whose placeholders differ from the English text's
// (a broken catalog) is not used: the English text is.
std::string trFormat(std::string_view english, std::initializer_list<std::string_view> arguments);

// The controls of a description table with their captions in the user's language: those of
// labels, buttons and check boxes (a text box's text is the user's).
std::vector<ControlDesc> translated(std::span<const ControlDesc> controls);

// The chosen catalog's translation of `key`: the English text, or for a text with a context the
// context, a byte 4, then the text. Each platform has its own (CatalogFiles.cpp on Linux,
// CatalogCompiled.cpp on Windows).
std::optional<std::string_view> catalogEntry(std::string_view key);

// Whether the chosen language is written from right to left, so that the windows are mirrored.
bool rightToLeft();

#if defined(_WIN32)
// Windows: the catalog of the first of `preferred` (the user's UI languages as Windows names them,
// "de-DE", "zh-Hant-TW", most preferred first) that the program has one for (Languages.h); English
// where none has, or where English comes first.
void chooseLanguage(std::span<const std::string> preferred);
#else
// Linux: the user's locale settings, with the catalogs in `folder` (LANG/LC_MESSAGES/quillendor.mo),
// by default the program's own: beside it in its build tree, else where they are installed.
void startCatalogs(const std::string &folder = {});
std::string catalogFolder();
#endif

// Whether `translation` may stand for `english`: the same placeholders, each as often.
bool samePlaceholders(std::string_view english, std::string_view translation);
// `pattern` with its placeholders filled (see trFormat).
std::string fillPlaceholders(std::string_view pattern,
                             std::initializer_list<std::string_view> arguments);

} // namespace quill
