// SPDX-License-Identifier: MIT
#include "Picture.h"

#include "QuestionMark.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quill::win32 {
namespace {

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

} // namespace quill::win32
