// SPDX-License-Identifier: MIT
#pragma once

// The reveal dialog's picture as geometry: a question mark inside a ring, both light blue, each
// with a black drop shadow down and to the right, on a transparent background. The numbers are the
// ones resources/draw_question.py writes question.svg from; a backend that cannot read that file
// draws the same shapes from here.

#include "Description.h"

#include <string>
#include <vector>

namespace quill::picture {

struct Point {
    double x = 0;
    double y = 0;
};

// One step of an outline, in the drawing's units (y grows downwards). An arc goes from the current
// point around `centre`, starting at `startDegrees` (clockwise on the screen from three o'clock)
// and turning by `sweepDegrees` (positive: clockwise).
struct Step {
    enum class Op { Move, Line, Cubic, Arc, Close };
    Op op = Op::Move;
    Point to;             // Move, Line, Cubic, Arc: where the step ends
    Point c1, c2;         // Cubic: control points
    Point centre;         // Arc
    double radius = 0;    // Arc
    double startDegrees = 0;
    double sweepDegrees = 0;
    bool largeArc = false; // how SVG names this arc among the ones between the two points
};

struct Shape {
    std::vector<Step> steps;
    bool evenOdd = false; // the ring: the inner circle cuts a hole
};

struct Drawing {
    double width = 0;  // logical extent
    double height = 0;
    Point shadowOffset;
    Colour fill = 0;   // 0x00BBGGRR
    Colour shadow = 0;
    // Ring, hook, dot: each drawn once in the shadow colour at the offset, then all in the fill.
    std::vector<Shape> shapes;
};

const Drawing &questionMark();

// The outline as closed polygons (one per sub-path), arcs and curves cut into straight pieces no
// longer than `step` units.
std::vector<std::vector<Point>> flatten(const Shape &shape, double step = 4.0);

// The outline in SVG path syntax, as draw_question.py writes it (a full circle as two half arcs).
std::string svgPath(const Shape &shape);

} // namespace quill::picture
