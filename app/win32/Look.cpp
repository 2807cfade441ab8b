// SPDX-License-Identifier: MIT
#include "Look.h"

#include "Catalog.h"
#include "Dpi.h"
#include "Layout.h"
#include "QuestionMark.h"
#include "Text.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace quill::win32 {
namespace {

constexpr int ProgramIcon = 1; // resources/quillendor.rc

// GDI fills polygons without smoothing their edges: the picture is drawn this many times larger
// into a bitmap and shrunk into the box, averaging the pixels.
constexpr int Oversample = 4;

struct Outline {
    std::vector<std::vector<picture::Point>> polygons;
    bool evenOdd = false;
};

const std::vector<Outline> &outlines()
{
    static const std::vector<Outline> all = [] {
        std::vector<Outline> made;
        for (const picture::Shape &shape : picture::questionMark().shapes)
            made.push_back({picture::flatten(shape), shape.evenOdd});
        return made;
    }();
    return all;
}

void fill(HDC dc, const Outline &outline, double scale, picture::Point offset, COLORREF colour)
{
    std::vector<POINT> points;
    std::vector<INT> counts;
    for (const auto &polygon : outline.polygons) {
        for (const picture::Point &p : polygon)
            points.push_back({static_cast<LONG>(std::lround((p.x + offset.x) * scale)),
                              static_cast<LONG>(std::lround((p.y + offset.y) * scale))});
        counts.push_back(static_cast<INT>(polygon.size()));
    }
    if (counts.empty())
        return;
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    SetPolyFillMode(dc, outline.evenOdd ? ALTERNATE : WINDING);
    PolyPolygon(dc, points.data(), counts.data(), static_cast<int>(counts.size()));
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
}

} // namespace

void drawQuestionMark(HDC dc, const RECT &box)
{
    const picture::Drawing &drawing = picture::questionMark();
    const int boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
    if (boxWidth <= 0 || boxHeight <= 0)
        return;
    const double scale = std::min(boxWidth / drawing.width, boxHeight / drawing.height);
    const int width = static_cast<int>(std::lround(drawing.width * scale));
    const int height = static_cast<int>(std::lround(drawing.height * scale));
    const int bigWidth = width * Oversample, bigHeight = height * Oversample;

    // Drawn large over a copy of what is behind it, so the background shows around the shapes.
    HDC big = CreateCompatibleDC(dc);
    HBITMAP bigBitmap = CreateCompatibleBitmap(dc, bigWidth, bigHeight);
    HGDIOBJ oldBig = SelectObject(big, bigBitmap);
    SetStretchBltMode(big, COLORONCOLOR);
    StretchBlt(big, 0, 0, bigWidth, bigHeight, dc, box.left, box.top, width, height, SRCCOPY);
    const double bigScale = scale * Oversample;
    for (const Outline &outline : outlines())
        fill(big, outline, bigScale, drawing.shadowOffset, static_cast<COLORREF>(drawing.shadow));
    for (const Outline &outline : outlines())
        fill(big, outline, bigScale, {}, static_cast<COLORREF>(drawing.fill));

    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, box.left, box.top, width, height, big, 0, 0, bigWidth, bigHeight, SRCCOPY);
    SelectObject(big, oldBig);
    DeleteObject(bigBitmap);
    DeleteDC(big);
}

HFONT makeFont(const Font &font, double scale, UINT dpi)
{
    std::wstring face = widen(font.face);
    if (face == L"MS Sans Serif")
        face = L"Microsoft Sans Serif";
    const int height = -static_cast<int>(std::lround(font.points * scale * dpi / 72.0));
    return CreateFontW(height, 0, 0, 0, static_cast<int>(font.weight), FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       VARIABLE_PITCH | FF_SWISS, face.c_str());
}

Look::~Look()
{
    for (auto &[colour, b] : m_brushes)
        DeleteObject(b);
    for (auto &[f, handle] : m_fonts)
        DeleteObject(handle);
    for (HICON icon : m_icons)
        if (icon)
            DestroyIcon(icon);
    dropOld();
}

HBRUSH Look::brush(Colour colour)
{
    const Colour rgb = toRgb(colour, m_backend);
    auto it = m_brushes.find(rgb);
    if (it != m_brushes.end())
        return it->second;
    HBRUSH made = CreateSolidBrush(static_cast<COLORREF>(rgb));
    m_brushes.emplace(rgb, made);
    return made;
}

HFONT Look::font(const Font &f)
{
    const auto same = [&f](const auto &known) {
        return known.first.face == f.face && known.first.points == f.points
               && known.first.weight == f.weight;
    };
    if (auto it = std::find_if(m_fonts.begin(), m_fonts.end(), same); it != m_fonts.end())
        return it->second;
    HFONT made = makeFont(f, m_fontScale, m_dpi);
    m_fonts.emplace_back(f, made);
    return made;
}

HICON Look::icon(WPARAM which)
{
    const bool big = which == ICON_BIG;
    HICON &made = m_icons[big ? 1 : 0];
    if (!made)
        made = static_cast<HICON>(LoadImageW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON,
            systemMetric(big ? SM_CXICON : SM_CXSMICON, m_dpi),
            systemMetric(big ? SM_CYICON : SM_CYSMICON, m_dpi), LR_DEFAULTCOLOR));
    return made;
}

void Look::setScale(UINT dpi, double fontScale)
{
    m_dpi = dpi;
    m_fontScale = fontScale;
    for (auto &[f, handle] : m_fonts)
        m_oldFonts.push_back(handle);
    m_fonts.clear();
    for (HICON &icon : m_icons)
        if (icon)
            m_oldIcons.push_back(std::exchange(icon, nullptr));
}

void Look::dropOld()
{
    for (HFONT handle : m_oldFonts)
        DeleteObject(handle);
    m_oldFonts.clear();
    for (HICON icon : m_oldIcons)
        DestroyIcon(icon);
    m_oldIcons.clear();
}

void drawLines(HDC dc, const WindowDesc &d, UINT dpi, Look &look)
{
    // A line is as many pixels wide as its width at 96 DPI scaled, one at least, and covers them
    // from its end points' row (column) on. A line that starts where the one before it ends in
    // twips, as the white line of an etched rule starts under its grey one, starts where that one
    // ends in pixels too: rounded apart, a row of the background could show between them.
    constexpr Twips TwipsPerPixelAt96 = 15;
    const ControlDesc *before = nullptr;
    int beforeEnd = 0; // the pixel row (column) after the line before
    for (const ControlDesc &c : d.controls) {
        if (c.kind != Kind::Line)
            continue;
        const bool across = c.y1 == c.y2;
        const int width = std::max(1, static_cast<int>(std::lround(c.lineWidth * (dpi / 96.0))));
        const bool under = before && across == (before->y1 == before->y2)
                           && (across ? c.y1 == before->y1 + before->lineWidth * TwipsPerPixelAt96
                                      : c.x1 == before->x1 + before->lineWidth * TwipsPerPixelAt96);
        const int x1 = toPixels(c.x1, dpi), y1 = toPixels(c.y1, dpi);
        const int x2 = toPixels(c.x2, dpi), y2 = toPixels(c.y2, dpi);
        const int start = under ? beforeEnd : across ? y1 : x1;
        const RECT r = across ? RECT{std::min(x1, x2), start, std::max(x1, x2), start + width}
                              : RECT{start, std::min(y1, y2), start + width, std::max(y1, y2)};
        FillRect(dc, &r, look.brush(c.lineColour));
        before = &c;
        beforeEnd = start + width;
    }
}

PixelSize textExtent(Kind kind, std::string_view text, const Font &font, double scale,
                     double dpi, int width)
{
    // The font the window would make at that DPI, measured as it would draw it.
    const UINT at = static_cast<UINT>(std::lround(dpi > 0 ? dpi : 96));
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT face = makeFont(font, scale, at);
    HGDIOBJ old = SelectObject(dc, face);
    const std::wstring wide = widen(text);
    PixelSize extent;
    if (kind == Kind::CommandButton || kind == Kind::CheckBox) {
        SIZE size{};
        TEXTMETRICW metrics{};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        GetTextMetricsW(dc, &metrics);
        if (kind == Kind::CommandButton) {
            // A button keeps a little room for its bevel and focus frame around the caption;
            // the height that counts is that of the letters, not of the font's whole cell.
            extent = {size.cx + 6, metrics.tmAscent - metrics.tmInternalLeading + 2};
        } else {
            // The box, and the gap the control leaves after it: half the box.
            const int box = systemMetric(SM_CXMENUCHECK, at);
            extent = {box + box / 2 + size.cx, static_cast<int>(size.cy)};
        }
    } else {
        RECT used{0, 0, std::max(width, 1), 0};
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &used,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT | DT_TOP);
        extent = {used.right - used.left, used.bottom - used.top};
    }
    SelectObject(dc, old);
    DeleteObject(face);
    DeleteDC(dc);
    return extent;
}

void drawPicture(HDC dc, const RECT &box, Picture picture, HBRUSH background)
{
    // A picture is no text: the box is mirrored with a mirrored window whatever its own styles
    // say (a child takes its parent's layout), so its drawing goes left to right again.
    SetLayout(dc, 0);
    FillRect(dc, &box, background);
    if (picture == Picture::QuestionMark)
        drawQuestionMark(dc, box);
}

DWORD styleOf(const WindowDesc &d)
{
    if (d.border == Border::None)
        return WS_POPUP | WS_CLIPCHILDREN;
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (d.minButton)
        style |= WS_MINIMIZEBOX;
    if (d.maxButton)
        style |= WS_MAXIMIZEBOX;
    return style;
}

DWORD exStyleOf(const WindowDesc &d)
{
    DWORD ex = WS_EX_CONTROLPARENT;
    if (d.border == Border::FixedDialog)
        ex |= WS_EX_DLGMODALFRAME;
    // In a language written from right to left the window is mirrored: its controls and lines
    // count from its right edge, its texts run from the right.
    if (rightToLeft())
        ex |= WS_EX_LAYOUTRTL;
    // A full-screen cover stays above every ordinary window, the taskbar included, and off the
    // taskbar; a window with a frame is kept off the taskbar by its owner instead, so it stays
    // in Alt+Tab.
    if (quill::isFullScreen(d)) {
        ex |= WS_EX_TOPMOST;
        if (!d.showInTaskbar)
            ex |= WS_EX_TOOLWINDOW;
    }
    return ex;
}

} // namespace quill::win32
