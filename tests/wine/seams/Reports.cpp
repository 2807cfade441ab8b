// SPDX-License-Identifier: MIT
// The test build's reports on the program's texts in its languages, measured and drawn with the
// fonts Windows gives the program (--report-texts=A,B,... and --report-glyphs=A,B,...; each name
// as the PO file is named, "en" for English). One line of JSON on standard output each, and then
// the program ends without a window.
//
// Texts: for each language and each window at 96, 120, 144, 168 and 192 DPI, the share of the font
// sizes the window takes (fontScale) beside English's, and every caption that overflows its box at
// English's share or at its own, by how much. English is measured first in the same run, so with
// the same fonts.
//
// Glyphs: for each language, the face the program's font really is, each character of the
// language's texts whose drawing is the drawing of a character no font has (the missing glyph),
// in the program's regular and bold font, font linking and Windows' own fallback included; and
// those the face itself lacks (GetGlyphIndicesW), which are drawn only where a font is linked.

#include "../Json.h"
#include "Catalog.h"
#include "Dpi.h"
#include "Form1.h"
#include "Form2.h"
#include "Form3.h"
#include "Languages.h"
#include "Layout.h"
#include "Look.h"
#include "SeamOptions.h"
#include "Text.h"
#include "Win32Backend.h"
#include "frmAbout1.h"

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quill {
const CompiledLanguage &pseudoLanguage();
} // namespace quill

namespace quill::seams {
namespace {

using win32::narrow;
using win32::widen;

constexpr double Dpis[] = {96, 120, 144, 168, 192};

void say(const std::string &line)
{
    const std::string out = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written,
              nullptr);
}

std::string pair(int a, int b) { return "[" + std::to_string(a) + "," + std::to_string(b) + "]"; }

std::vector<std::string> names(const std::wstring &list)
{
    std::vector<std::string> out;
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = list.find(L'\0', at);
        out.push_back(narrow(std::wstring_view(list).substr(at, end - at)));
        at = end == std::wstring::npos ? list.size() : end + 1;
    }
    return out;
}

// The program's four windows, their captions in the language chosen last.
std::vector<std::unique_ptr<Form>> windows()
{
    std::vector<std::unique_ptr<Form>> made;
    made.push_back(std::make_unique<forms::Form1>());
    made.push_back(std::make_unique<forms::Form2>());
    made.push_back(std::make_unique<forms::Form3>());
    made.push_back(std::make_unique<forms::frmAbout1>());
    return made;
}

void choose(const std::string &language) { chooseLanguage(std::vector<std::string>{language}); }

void reportTexts(const Backend &backend, const std::vector<std::string> &languages)
{
    // English's share per window and DPI, the measure every language is held to.
    choose("en");
    std::vector<std::vector<double>> english;
    for (const auto &form : windows()) {
        english.emplace_back();
        for (double dpi : Dpis)
            english.back().push_back(fontScale(form->description(), dpi, backend));
    }
    for (const std::string &language : languages) {
        choose(language);
        const auto made = windows();
        for (std::size_t w = 0; w < made.size(); ++w) {
            const WindowDesc &d = made[w]->description();
            for (std::size_t i = 0; i < std::size(Dpis); ++i) {
                const double dpi = Dpis[i], own = fontScale(d, dpi, backend);
                std::string overflows;
                for (const ControlDesc &c : d.controls)
                    for (const auto &[at, scale] : {std::pair{"english", english[w][i]},
                                                    std::pair{"own", own}}) {
                        const std::optional<PixelSize> by = overflow(c, scale, dpi, backend);
                        if (!by)
                            continue;
                        const PixelRect box = toPixels(c.rect, dpi);
                        overflows += std::string(overflows.empty() ? "" : ",")
                                     + "{\"control\":" + json(c.name) + ",\"at\":\"" + at
                                     + "\",\"by\":" + pair(by->width, by->height)
                                     + ",\"box\":" + pair(box.width, box.height)
                                     + ",\"text\":" + json(c.caption) + "}";
                    }
                char scales[64];
                std::snprintf(scales, sizeof scales, "\"scale\":%.2f,\"english\":%.2f", own,
                              english[w][i]);
                say("{\"language\":" + json(language) + ",\"window\":" + json(d.name)
                    + ",\"dpi\":" + std::to_string(static_cast<int>(dpi)) + "," + scales
                    + ",\"overflows\":[" + overflows + "]}");
            }
        }
    }
}

const CompiledLanguage *compiled(const std::string &code)
{
    for (const CompiledLanguage &language : compiledLanguages())
        if (language.code == code)
            return &language;
    return code == pseudoLanguage().code ? &pseudoLanguage() : nullptr;
}

// A character drawn alone, black on white, as the pixels of a box it cannot leave.
std::vector<COLORREF> drawing(HDC dc, std::wstring_view character)
{
    constexpr int Side = 96;
    RECT box{0, 0, Side, Side};
    PatBlt(dc, 0, 0, Side, Side, WHITENESS);
    DrawTextW(dc, character.data(), static_cast<int>(character.size()), &box,
              DT_NOPREFIX | DT_LEFT | DT_TOP | DT_SINGLELINE);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    return pixels;
}

void reportGlyphs(const std::vector<std::string> &languages)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 96, 96);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    // The program's font, large enough that two glyphs never draw alike.
    const Font fonts[] = {{.points = 32}, {.points = 32, .weight = Weight::Bold}};
    // A character no font has: U+0378 is unassigned.
    const std::wstring none(1, wchar_t(0x0378));
    for (const std::string &code : languages) {
        const CompiledLanguage *language = compiled(code);
        if (!language) {
            say("{\"language\":" + json(code) + ",\"unknown\":true}");
            continue;
        }
        std::set<std::wstring> characters;
        for (const CatalogEntry &entry : language->entries) {
            const std::wstring text = widen(entry.translation);
            for (std::size_t i = 0; i < text.size(); ++i) {
                const bool pair = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size();
                if (!iswspace(text[i]))
                    characters.insert(text.substr(i, pair ? 2 : 1));
                i += pair;
            }
        }
        std::string face, missing, lacking;
        for (const Font &font : fonts) {
            HFONT made = win32::makeFont(font, 1.0, 96);
            HGDIOBJ old = SelectObject(dc, made);
            wchar_t name[LF_FACESIZE] = {};
            GetTextFaceW(dc, LF_FACESIZE, name);
            face = narrow(name);
            const std::vector<COLORREF> box = drawing(dc, none);
            for (const std::wstring &c : characters) {
                if (drawing(dc, c) == box && missing.find(narrow(c)) == std::string::npos)
                    missing += narrow(c);
                WORD glyph = 0;
                GetGlyphIndicesW(dc, c.c_str(), 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
                if (c.size() == 1 && glyph == 0xFFFF
                    && lacking.find(narrow(c)) == std::string::npos)
                    lacking += narrow(c);
            }
            SelectObject(dc, old);
            DeleteObject(made);
        }
        std::string all;
        for (const std::wstring &c : characters)
            all += narrow(c);
        say("{\"language\":" + json(code) + ",\"face\":" + json(face) + ",\"characters\":"
            + json(all) + ",\"missing\":" + json(missing) + ",\"lacking\":" + json(lacking)
            + "}");
    }
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace

int report(HINSTANCE instance)
{
    const Options &o = options();
    win32::becomeDpiAware();
    if (!o.reportGlyphs.empty())
        reportGlyphs(names(o.reportGlyphs));
    if (!o.reportTexts.empty()) {
        win32::Win32Backend backend(instance);
        reportTexts(backend, names(o.reportTexts));
    }
    return 0;
}

} // namespace quill::seams
