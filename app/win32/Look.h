// SPDX-License-Identifier: MIT
#pragma once

// How a window looks, from its description: its styles, and its fonts, colours, lines and
// pictures drawn with GDI at its DPI: "MS Sans Serif" as its TrueType counterpart, the system
// colours from the user's scheme, the lines of the description, and the question-mark picture.

#include "Backend.h"
#include "Description.h"

#include <windows.h>

#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::win32 {

// The window styles a form's description gives its window, and every cover of it: its frame,
// its place among other windows, its direction.
DWORD styleOf(const WindowDesc &description);
DWORD exStyleOf(const WindowDesc &description);

// A rectangle of the desktop in pixels as GDI has it.
inline RECT toRect(const PixelRect &r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

// A font of the description at `scale` times its size and `dpi`: "MS Sans Serif" is a bitmap face
// with a few sizes, so its TrueType counterpart "Microsoft Sans Serif" stands in for it.
HFONT makeFont(const Font &font, double scale, UINT dpi);

// The brushes, fonts and icons of one window, made when first asked for and kept until the
// window goes.
class Look {
public:
    explicit Look(const Backend &backend) : m_backend(backend) {}
    ~Look();
    Look(const Look &) = delete;
    Look &operator=(const Look &) = delete;

    // A brush of a description's colour, a system colour index included.
    HBRUSH brush(Colour colour);
    // The font at the window's DPI and font share.
    HFONT font(const Font &font);
    // The program icon at the window's DPI: `which` is ICON_BIG or ICON_SMALL.
    HICON icon(WPARAM which);

    UINT dpi() const { return m_dpi; }
    double fontScale() const { return m_fontScale; }
    // Fonts and icons are made afresh at `dpi` and `fontScale` from now on. A control keeps
    // drawing with the font it was given, and a window with its icons, until it gets others, so
    // the old ones stay until dropOld().
    void setScale(UINT dpi, double fontScale);
    void dropOld();

private:
    const Backend &m_backend;
    UINT m_dpi = 96;
    double m_fontScale = 1.0;
    std::map<Colour, HBRUSH> m_brushes;
    std::vector<std::pair<Font, HFONT>> m_fonts;
    std::vector<HFONT> m_oldFonts;
    HICON m_icons[2] = {};
    std::vector<HICON> m_oldIcons;
};

// The room `text` in `font` at `scale` times its size and `dpi` takes in a control of `kind`
// `width` pixels wide (see Backend::textExtent), measured with GDI as the control draws it.
PixelSize textExtent(Kind kind, std::string_view text, const Font &font, double scale,
                     double dpi, int width);

// The description's lines, in the window's client area at `dpi`.
void drawLines(HDC dc, const WindowDesc &description, UINT dpi, Look &look);

// The question-mark picture drawn from the runtime's geometry (QuestionMark.h), scaled into a box
// keeping its proportions, at the box's top-left as a picture box shows its picture.
void drawQuestionMark(HDC dc, const RECT &box);
// A picture box's picture over its background, in its own orientation also in a mirrored window.
void drawPicture(HDC dc, const RECT &box, Picture picture, HBRUSH background);

} // namespace quill::win32
