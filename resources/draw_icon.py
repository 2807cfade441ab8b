#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws the Quillendor program icon: a 1990s desktop computer standing in
front of a globe.

The picture is described once, as simple shapes on a 32x32 grid, and written
out twice:
  quillendor.xpm  - 32x32, 16-colour (VGA palette) pixel version
  quillendor.svg  - scalable version built from the same shapes

Shapes are rasterised by sampling each pixel centre, so rectangles on whole
coordinates map exactly onto pixels.

Usage: python3 draw_icon.py [output-directory]
"""
import math
import os
import sys

SIZE = 32

# Classic VGA colours, keyed by the character used in the XPM.
PALETTE = {
    "k": "#000000",  # outlines
    "w": "#FFFFFF",  # highlights
    "s": "#C0C0C0",  # case (light grey)
    "d": "#808080",  # case shadow
    "B": "#0000FF",  # ocean, screen
    "n": "#000080",  # ocean shadow, screen shade
    "c": "#00FFFF",  # glare
    "G": "#008000",  # land in shadow
    "L": "#00FF00",  # lit land, power lamp
}
TRANSPARENT = "."

# Globe geometry (behind the computer, upper right).
GX, GY, GR = 21.0, 11.0, 10.8
OCEAN_R = GR - 1.0
# The lit side of the globe is the ocean disc shifted up-left; the rest is shade.
LIT_DX, LIT_DY, LIT_R = -2.2, -2.2, OCEAN_R + 0.6

CONTINENTS = [
    # land across the top of the globe, reaching down behind the monitor
    [(12.6, 6.0), (14.4, 3.6), (17.0, 2.2), (18.4, 2.4), (18.4, 4.2),
     (19.8, 5.0), (20.4, 3.6), (19.8, 2.4), (21.0, 2.0), (23.6, 3.0),
     (24.6, 4.4), (23.2, 5.6), (22.0, 7.6), (21.4, 9.6), (20.0, 8.4),
     (18.0, 7.0), (16.2, 6.8), (14.0, 7.6)],
    # land on the right-hand side, tapering to the south
    [(22.6, 12.2), (25.0, 11.0), (27.4, 11.6), (29.0, 13.4), (28.0, 15.6),
     (26.4, 16.8), (25.6, 19.6), (24.2, 18.6), (23.6, 15.6), (22.2, 14.0)],
    # island near the right rim
    [(27.0, 5.0), (29.4, 5.4), (30.6, 7.8), (29.6, 9.2), (27.8, 7.6)],
]

class Canvas:
    def __init__(self):
        self.px = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
        self.svg = []

    # -- primitives: each paints pixels and records the matching SVG shape --
    def rect(self, x0, y0, x1, y1, col):
        """Filled rectangle covering pixels x0..x1, y0..y1 (inclusive)."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self._put(x, y, col)
        self.svg.append('<rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>'
                        % (x0, y0, x1 - x0 + 1, y1 - y0 + 1, PALETTE[col]))

    def disc(self, cx, cy, r, col, svg=True):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self._put(x, y, col)
        if svg:
            self.svg.append('<circle cx="%g" cy="%g" r="%g" fill="%s"/>'
                            % (cx, cy, r, PALETTE[col]))

    def _put(self, x, y, col):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = col


def inside_poly(pts, x, y):
    hit = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def in_disc(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def draw_globe(c):
    # Black disc, then everything not on the rim is repainted as ocean. At
    # 32x32 the rim is a clean one-pixel line: a pixel is rim if one of its
    # four neighbours lies outside the globe.
    c.disc(GX, GY, GR, "k")
    c.svg.append('<circle cx="%g" cy="%g" r="%g" fill="%s"/>'
                 % (GX, GY, OCEAN_R, PALETTE["n"]))

    def on_globe(x, y):
        return in_disc(x + 0.5, y + 0.5, GX, GY, GR)

    for y in range(SIZE):
        for x in range(SIZE):
            if on_globe(x, y) and all(on_globe(x + dx, y + dy) for dx, dy in
                                      ((1, 0), (-1, 0), (0, 1), (0, -1))):
                c.px[y][x] = "n"
    lx, ly = GX + LIT_DX, GY + LIT_DY
    for y in range(SIZE):
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            if c.px[y][x] != "n":
                continue
            lit = in_disc(px, py, lx, ly, LIT_R)
            land = any(inside_poly(p, px, py) for p in CONTINENTS)
            if land:
                c.px[y][x] = "L" if lit else "G"
            elif lit:
                c.px[y][x] = "B"
    # SVG: same layering using a clip-free construction. The lit area is the
    # intersection of two discs; it is drawn as a path made of two arcs.
    c.svg.append('<path d="%s" fill="%s"/>' % (lens_path(), PALETTE["B"]))
    for poly in CONTINENTS:
        c.svg.append('<polygon points="%s" fill="%s"/>'
                     % (" ".join("%g,%g" % p for p in poly), PALETTE["G"]))
    for poly in CONTINENTS:
        lit = clip_poly_to_disc(poly, lx, ly, LIT_R)
        if len(lit) >= 3:
            c.svg.append('<polygon points="%s" fill="%s"/>'
                         % (" ".join("%.2f,%.2f" % p for p in lit), PALETTE["L"]))


def lens_path():
    """Outline of the intersection of the ocean disc and the lit disc."""
    x0, y0, r0 = GX, GY, OCEAN_R
    x1, y1, r1 = GX + LIT_DX, GY + LIT_DY, LIT_R
    dx, dy = x1 - x0, y1 - y0
    d = math.hypot(dx, dy)
    a = (r0 * r0 - r1 * r1 + d * d) / (2 * d)
    h = math.sqrt(r0 * r0 - a * a)
    mx, my = x0 + a * dx / d, y0 + a * dy / d
    p1 = (mx + h * dy / d, my - h * dx / d)
    p2 = (mx - h * dy / d, my + h * dx / d)
    # from p1 to p2 along the ocean circle (the side facing the lit disc),
    # then back along the lit circle.
    return ("M%.3f,%.3f A%g,%g 0 0,0 %.3f,%.3f A%g,%g 0 0,1 %.3f,%.3f Z"
            % (p1[0], p1[1], r0, r0, p2[0], p2[1], r1, r1, p1[0], p1[1]))


def clip_poly_to_disc(poly, cx, cy, r, steps=64):
    """Clips a polygon to a disc (disc approximated by a fine polygon)."""
    circle = [(cx + r * math.cos(2 * math.pi * i / steps),
               cy + r * math.sin(2 * math.pi * i / steps)) for i in range(steps)]
    # Sutherland-Hodgman with the convex circle polygon as the clip window.
    out = list(poly)
    for i in range(steps):
        a, b = circle[i], circle[(i + 1) % steps]
        inp, out = out, []
        if not inp:
            break

        def side(p):
            return (b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0])

        def cross(p, q):
            sp, sq = side(p), side(q)
            t = sp / (sp - sq)
            return (p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]))

        prev = inp[-1]
        for cur in inp:
            if side(cur) >= 0:
                if side(prev) < 0:
                    out.append(cross(prev, cur))
                out.append(cur)
            elif side(prev) >= 0:
                out.append(cross(prev, cur))
            prev = cur
    return out


def draw_computer(c):
    # system unit (flat desktop case) at the bottom
    c.rect(0, 25, 23, 31, "k")
    c.rect(1, 26, 22, 30, "s")
    c.rect(1, 26, 22, 26, "w")
    c.rect(1, 26, 1, 30, "w")
    c.rect(2, 30, 22, 30, "d")
    c.rect(22, 27, 22, 30, "d")
    c.rect(12, 28, 19, 28, "k")   # floppy drive slot
    c.rect(12, 29, 19, 29, "w")
    c.rect(4, 28, 5, 28, "L")     # power lamp
    # monitor stand
    c.rect(7, 23, 15, 25, "k")
    c.rect(8, 23, 14, 24, "d")
    c.rect(8, 23, 14, 23, "s")
    # monitor case
    c.rect(2, 7, 20, 22, "k")
    c.rect(3, 8, 19, 21, "s")
    c.rect(3, 8, 19, 8, "w")
    c.rect(3, 8, 3, 21, "w")
    c.rect(4, 21, 19, 21, "d")
    c.rect(19, 9, 19, 21, "d")
    # screen, sunk into the case
    c.rect(5, 10, 17, 19, "d")
    c.rect(6, 11, 17, 19, "w")
    c.rect(6, 11, 16, 18, "k")
    c.rect(7, 12, 16, 18, "B")
    # glare
    c.rect(8, 13, 10, 13, "c")
    c.rect(8, 14, 8, 14, "c")
    # power lamp on the monitor
    c.rect(17, 20, 17, 20, "L")


def build():
    c = Canvas()
    draw_globe(c)
    draw_computer(c)
    return c


def write_xpm(c, path):
    used = sorted({ch for row in c.px for ch in row if ch != TRANSPARENT})
    lines = ["/* XPM */", "static const char *const quillendor_xpm[] = {",
             '"%d %d %d 1",' % (SIZE, SIZE, len(used) + 1),
             '"%s c None",' % TRANSPARENT]
    lines += ['"%s c %s",' % (ch, PALETTE[ch]) for ch in used]
    rows = ['"%s"' % "".join(r) for r in c.px]
    lines += [r + "," for r in rows[:-1]] + [rows[-1]]
    lines.append("};")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def write_svg(c, path):
    body = "\n  ".join(c.svg)
    svg = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<!-- Quillendor program icon (generated by draw_icon.py) -->\n'
           '<svg xmlns="http://www.w3.org/2000/svg" version="1.1" '
           'width="256" height="256" viewBox="0 0 32 32">\n  '
           + body + "\n</svg>\n")
    with open(path, "w") as f:
        f.write(svg)


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    c = build()
    write_xpm(c, os.path.join(out, "quillendor.xpm"))
    write_svg(c, os.path.join(out, "quillendor.svg"))
