// SPDX-License-Identifier: MIT
#include "QuestionMark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace quill::picture {
namespace {

constexpr double Width = 942, Height = 924;
constexpr double Shadow = 30; // drop-shadow offset, down and right

// The ring, centred in what is left once the shadow's offset is kept free.
constexpr double RingX = (Width - Shadow) / 2, RingY = (Height - Shadow) / 2;
constexpr double RingOuter = 438, RingInner = 360;

// The question mark, measured from the centre of the hook's bowl.
constexpr double QX = RingX, QY = RingY - 130;
constexpr double BowlOuter = 150, BowlInner = 74;
constexpr double StemHalf = (BowlOuter - BowlInner) / 2;
constexpr double BowlEnd = 48; // degrees, where the bowl turns down into the stem
constexpr double StemTop = QY + 205, StemBottom = QY + 275;
constexpr double DotY = QY + 360, DotRadius = 50;

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

Point onCircle(Point centre, double radius, double degrees)
{
    return {centre.x + radius * std::cos(radians(degrees)),
            centre.y + radius * std::sin(radians(degrees))};
}

Step move(Point to) { return {.op = Step::Op::Move, .to = to}; }
Step line(Point to) { return {.op = Step::Op::Line, .to = to}; }
Step cubic(Point c1, Point c2, Point to)
{
    return {.op = Step::Op::Cubic, .to = to, .c1 = c1, .c2 = c2};
}
Step arc(Point centre, double radius, double start, double sweep, bool large)
{
    return {.op = Step::Op::Arc, .to = onCircle(centre, radius, start + sweep),
            .centre = centre, .radius = radius, .startDegrees = start, .sweepDegrees = sweep,
            .largeArc = large};
}
Step close() { return {.op = Step::Op::Close}; }

// A full circle as two half arcs from its left-most point.
void circle(std::vector<Step> &steps, Point centre, double radius)
{
    steps.push_back(move({centre.x - radius, centre.y}));
    steps.push_back(arc(centre, radius, 180, 180, true));
    steps.push_back(arc(centre, radius, 0, 180, true));
    steps.push_back(close());
}

Shape ring()
{
    Shape shape{.evenOdd = true};
    circle(shape.steps, {RingX, RingY}, RingOuter);
    circle(shape.steps, {RingX, RingY}, RingInner);
    return shape;
}

Shape hook()
{
    const Point bowl{QX, QY};
    const double sa = std::sin(radians(BowlEnd)), ca = std::cos(radians(BowlEnd));
    const Point outerEnd = onCircle(bowl, BowlOuter, BowlEnd);
    const Point innerEnd = onCircle(bowl, BowlInner, BowlEnd);
    const double right = QX + StemHalf, left = QX - StemHalf;
    // The direction along the outer edge where the bowl ends (clockwise).
    const Point t{-sa, ca};
    constexpr double kOuter = 60, kInner = 40;
    Shape shape;
    auto &s = shape.steps;
    // The outer edge of the bowl, from the left end over the top.
    s.push_back(move({QX - BowlOuter, QY}));
    s.push_back(arc(bowl, BowlOuter, 180, 228, true));
    // Down into the right side of the stem.
    s.push_back(cubic({outerEnd.x + kOuter * t.x, outerEnd.y + kOuter * t.y},
                      {right, StemTop - 60}, {right, StemTop}));
    s.push_back(line({right, StemBottom}));
    s.push_back(line({left, StemBottom}));
    s.push_back(line({left, StemTop - 18}));
    // The left side of the stem back up to the inside of the bowl.
    s.push_back(cubic({left, StemTop - 88}, {innerEnd.x + kInner * t.x, innerEnd.y + kInner * t.y},
                      innerEnd));
    // The inner edge of the bowl back to the left end, and its rounded tip.
    s.push_back(arc(bowl, BowlInner, BowlEnd, -228, true));
    s.push_back(arc({QX - BowlInner - StemHalf, QY}, StemHalf, 0, 180, false));
    s.push_back(close());
    return shape;
}

Shape dot()
{
    Shape shape;
    circle(shape.steps, {QX, DotY}, DotRadius);
    return shape;
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    std::string s(text);
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string point(Point p) { return number(p.x) + ',' + number(p.y); }

} // namespace

const Drawing &questionMark()
{
    static const Drawing drawing{
        .width = Width,
        .height = Height,
        .shadowOffset = {Shadow, Shadow},
        .fill = 0x00FFB200,
        .shadow = 0x00000000,
        .shapes = {ring(), hook(), dot()},
    };
    return drawing;
}

std::vector<std::vector<Point>> flatten(const Shape &shape, double step)
{
    std::vector<std::vector<Point>> polygons;
    Point current;
    auto add = [&](Point p) {
        if (polygons.empty())
            polygons.emplace_back();
        polygons.back().push_back(p);
        current = p;
    };
    auto pieces = [step](double length) {
        return std::max(1, static_cast<int>(std::ceil(length / step)));
    };
    for (const Step &s : shape.steps) {
        switch (s.op) {
        case Step::Op::Move:
            polygons.emplace_back();
            add(s.to);
            break;
        case Step::Op::Line:
            add(s.to);
            break;
        case Step::Op::Cubic: {
            const Point p0 = current;
            const double length = std::hypot(s.c1.x - p0.x, s.c1.y - p0.y)
                                  + std::hypot(s.c2.x - s.c1.x, s.c2.y - s.c1.y)
                                  + std::hypot(s.to.x - s.c2.x, s.to.y - s.c2.y);
            const int n = pieces(length);
            for (int i = 1; i <= n; ++i) {
                const double t = static_cast<double>(i) / n, u = 1 - t;
                add({u * u * u * p0.x + 3 * u * u * t * s.c1.x + 3 * u * t * t * s.c2.x
                         + t * t * t * s.to.x,
                     u * u * u * p0.y + 3 * u * u * t * s.c1.y + 3 * u * t * t * s.c2.y
                         + t * t * t * s.to.y});
            }
            break;
        }
        case Step::Op::Arc: {
            const int n = pieces(std::abs(radians(s.sweepDegrees)) * s.radius);
            for (int i = 1; i <= n; ++i)
                add(onCircle(s.centre, s.radius, s.startDegrees + s.sweepDegrees * i / n));
            break;
        }
        case Step::Op::Close:
            break;
        }
    }
    // A closing point that repeats the first adds nothing to a polygon.
    for (auto &polygon : polygons)
        if (polygon.size() > 1 && std::hypot(polygon.back().x - polygon.front().x,
                                             polygon.back().y - polygon.front().y)
                                      < 1e-9)
            polygon.pop_back();
    std::erase_if(polygons, [](const auto &p) { return p.size() < 3; });
    return polygons;
}

std::string svgPath(const Shape &shape)
{
    std::string d;
    for (const Step &s : shape.steps) {
        if (!d.empty())
            d += ' ';
        switch (s.op) {
        case Step::Op::Move: d += 'M' + point(s.to); break;
        case Step::Op::Line: d += 'L' + point(s.to); break;
        case Step::Op::Cubic:
            d += 'C' + point(s.c1) + ' ' + point(s.c2) + ' ' + point(s.to);
            break;
        case Step::Op::Arc:
            d += 'A' + number(s.radius) + ',' + number(s.radius) + " 0 " + (s.largeArc ? '1' : '0')
                 + ',' + (s.sweepDegrees > 0 ? '1' : '0') + ' ' + point(s.to);
            break;
        case Step::Op::Close: d += 'Z'; break;
        }
    }
    return d;
}

} // namespace quill::picture
