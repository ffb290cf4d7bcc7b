#!/usr/bin/env python3
"""Writes the skins of the two control panels and the channel list's check boxes.

  resources/main_panel_normal.bmp    bitmap 155 \
  resources/main_panel_pressed.bmp   bitmap 156  } the main panel at rest, with every button
  resources/main_panel_lit.bmp       bitmap 159 /  pressed, with every button lit (latched or
                                     unavailable): 420 x 70, 8 bits, one table of 236 colours
  resources/tuner_panel_normal.bmp   bitmap 129 \  the tuner panel at rest and with every
  resources/tuner_panel_pressed.bmp  bitmap 131 /  button pressed: 140 x 304, 8 bits, 65 colours
  resources/sound_on.bmp             bitmap 132 \  the tuner display's sound marks: 16 x 13,
  resources/sound_muted.bmp          bitmap 133 /  4 bits, 11 colours of the tuner's table
  resources/channel_unchecked.bmp    bitmap 120 \  the channel list's boxes: 20 x 20, 4 bits,
  resources/channel_checked.bmp      bitmap 123 /  the 16 VGA colours (biClrUsed 0)

Usage: python3 tools/make_skins.py [--out DIR] [--preview DIR]
  --preview DIR also writes PNG previews there: each skin at 1:1 and at 3x, and the panels
  at 3x with their hot areas (magenta), look rectangles (cyan) and read-out places (yellow)
  outlined, to check that the faces sit inside them.

The panels copy a button's look out of the pressed or lit image by its rectangle, so those
images differ from the normal one only inside the button faces, and every face lies inside
its hot area; main() checks both before it writes anything. Shapes are drawn here with 4 x 4
supersampling; the type comes from ImageMagick's `convert` (DejaVu fonts). The palettes, the
colour mapping and the file formats are done here. Same inputs, same bytes.
"""

import argparse
import math
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_artwork import write_bmp8  # noqa: E402  (same 8-bit layout as the logo)

SS = 4
OFFSETS = [(i + 0.5) / SS for i in range(SS)]

# ---------------------------------------------------------------------------------------
# Coverage masks: {(x, y): 0..1}, pixel (x, y) being the unit square [x, x+1) x [y, y+1).


def raster(inside, x0, y0, x1, y1):
    m = {}
    n2 = SS * SS
    for y in range(math.floor(y0), math.ceil(y1)):
        for x in range(math.floor(x0), math.ceil(x1)):
            n = 0
            for oy in OFFSETS:
                fy = y + oy
                for ox in OFFSETS:
                    if inside(x + ox, fy):
                        n += 1
            if n:
                m[(x, y)] = n / n2
    return m


def rect(x0, y0, x1, y1, r=0.0):
    """Pixels x0..x1-1, y0..y1-1, corners rounded with radius r."""

    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r

    return raster(inside, x0, y0, x1, y1)


def ellipse(cx, cy, rx, ry):
    return raster(lambda x, y: ((x - cx) / rx)**2 + ((y - cy) / ry)**2 <= 1, cx - rx, cy - ry,
                  cx + rx, cy + ry)


def point_in_polygon(points, x, y):
    inside = False
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
            inside = not inside
    return inside


def polygon(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return raster(lambda x, y: point_in_polygon(points, x, y), min(xs), min(ys), max(xs),
                  max(ys))


def region(points, w, h):
    """The pixels a polygon region of the platform holds, taken conservatively: both the
    pixel's corner and its centre must lie inside (the region code samples the corner)."""
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return {(x, y)
            for y in range(max(0, min(ys)), min(h, max(ys) + 1))
            for x in range(max(0, min(xs)), min(w, max(xs) + 1))
            if point_in_polygon(points, x, y) and point_in_polygon(points, x + 0.5, y + 0.5)}


def m_and(a, b):
    out = {}
    for k, v in a.items():
        u = b.get(k)
        if u:
            out[k] = min(v, u)
    return out


def m_or(*masks):
    out = {}
    for m in masks:
        for k, v in m.items():
            if v > out.get(k, 0):
                out[k] = v
    return out


def m_sub(a, b):
    out = {}
    for k, v in a.items():
        v *= 1 - b.get(k, 0)
        if v > 1e-6:
            out[k] = v
    return out


def m_shift(a, dx, dy):
    return {(x + dx, y + dy): v for (x, y), v in a.items()}


def m_erode(a):
    out = {}
    for (x, y), v in a.items():
        v = min(v, a.get((x - 1, y), 0), a.get((x + 1, y), 0), a.get((x, y - 1), 0),
                a.get((x, y + 1), 0))
        if v > 1e-6:
            out[(x, y)] = v
    return out


def rim_tl(m):
    """The part of m on its upper left edge (no neighbour up and left)."""
    return m_sub(m, m_shift(m, 1, 1))


def rim_br(m):
    return m_sub(m, m_shift(m, -1, -1))


def m_bbox(m):
    xs = [k[0] for k in m]
    ys = [k[1] for k in m]
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def m_centroid(m):
    s = sum(m.values())
    return (sum((x + 0.5) * v for (x, _), v in m.items()) / s,
            sum((y + 0.5) * v for (_, y), v in m.items()) / s)


# ---------------------------------------------------------------------------------------
# Symbols: lists of (role, mask) in their own coordinates, placed by their centre.

_glyph_cache = {}


def glyph(text, font, size):
    """Anti-aliased type as a mask, trimmed to the ink, top left at (0, 0)."""
    key = (text, font, size)
    if key not in _glyph_cache:
        out = subprocess.run(
            ["convert", "-background", "black", "-fill", "white", "-font", font, "-pointsize",
             str(size), "label:" + text, "-trim", "+repage", "-depth", "8", "pgm:-"],
            check=True, stdout=subprocess.PIPE).stdout
        # The header ends with one whitespace byte; the data may start with such values.
        head = re.match(rb"P5\s+(\d+)\s+(\d+)\s+255\s", out)
        if not head:
            sys.exit(f"convert returned no PGM for {text!r}")
        w, h = int(head.group(1)), int(head.group(2))
        data = out[head.end():]
        if len(data) != w * h:
            sys.exit(f"convert returned {len(data)} bytes for {text!r}, expected {w * h}")
        _glyph_cache[key] = {(i % w, i // w): data[i] / 255
                             for i in range(w * h) if data[i]}
    return dict(_glyph_cache[key])


def art(rows, roles):
    """Pixel art: one string per row; each character maps to a role, '.' is empty."""
    parts = {}
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch != ".":
                parts.setdefault(roles[ch], {})[(x, y)] = 1.0
    return list(parts.items())


def text_symbol(text, font, size, role="ink"):
    return [(role, glyph(text, font, size))]


def place(symbol, cx, cy):
    """The symbol moved so that the middle of its ink sits on (cx, cy), on whole pixels."""
    union = m_or(*[m for _, m in symbol])
    x0, y0, x1, y1 = m_bbox(union)
    dx = math.floor(cx - (x0 + x1) / 2 + 0.5)
    dy = math.floor(cy - (y0 + y1) / 2 + 0.5)
    return [(role, m_shift(m, dx, dy)) for role, m in symbol]


# ---------------------------------------------------------------------------------------
# Canvas


class Canvas:

    def __init__(self, w, h, colour):
        self.w, self.h = w, h
        self.px = [tuple(map(float, colour))] * (w * h)

    def paint(self, mask, colour, opacity=1.0):
        w, h, px = self.w, self.h, self.px
        fn = colour if callable(colour) else None
        for (x, y), a in mask.items():
            if 0 <= x < w and 0 <= y < h:
                a *= opacity
                c = fn(x, y) if fn else colour
                i = y * w + x
                p = px[i]
                px[i] = (p[0] + (c[0] - p[0]) * a, p[1] + (c[1] - p[1]) * a,
                         p[2] + (c[2] - p[2]) * a)

    def rgb(self):
        return [tuple(min(255, max(0, int(v + 0.5))) for v in p) for p in self.px]


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def vgrad(y0, y1, top, bottom):
    span = max(1, y1 - y0 - 1)
    return lambda x, y: mix(top, bottom, min(1, max(0, (y - y0) / span)))


# ---------------------------------------------------------------------------------------
# Buttons


class Style:
    """Colours of one kind of key in its three looks."""

    def __init__(self, **kw):
        self.__dict__.update(kw)


KEY = Style(
    edge=(88, 84, 75), top=(247, 244, 236), bottom=(221, 216, 202), hi=(255, 255, 253),
    sh=(164, 158, 142),
    p_edge=(70, 66, 58), p_top=(184, 178, 162), p_bottom=(203, 197, 181), p_sh=(126, 120, 106),
    p_sh2=(164, 158, 142),
    l_edge=(152, 147, 135), l_face=(216, 210, 194), l_hi=(232, 228, 216), l_sh=(198, 192, 176))

DARK_KEY = Style(
    edge=(34, 33, 31), top=(112, 109, 103), bottom=(76, 74, 70), hi=(150, 147, 140),
    sh=(50, 48, 45),
    p_edge=(24, 23, 22), p_top=(54, 52, 49), p_bottom=(70, 68, 64), p_sh=(30, 29, 27),
    p_sh2=(46, 44, 42),
    l_edge=(104, 101, 95), l_face=(138, 135, 128), l_hi=(150, 147, 140), l_sh=(124, 121, 115))

# Symbol colours by role, for the normal and pressed looks; the lit look greys them all.
INK = {
    "ink": (36, 34, 31),
    "red": (204, 32, 24),
    "redhi": (250, 120, 100),
    "white": (250, 250, 246),
    "blue": (40, 78, 150),
    "sky": (120, 170, 220),
    "yellow": (232, 190, 60),
    "amber": (170, 118, 24),
    "grey": (120, 116, 108),
}
LIT_EMBOSS, DARK_LIT_EMBOSS = (248, 246, 238), (110, 107, 101)


def grey(colour):
    v = 0.3 * colour[0] + 0.59 * colour[1] + 0.11 * colour[2]
    return (v, v, v)


def draw_symbol(c, symbol, look, face=(216, 210, 194), dark=False):
    if look == "lit":
        # Disabled type: each colour faded towards the face, the whole embossed once.
        union = m_or(*[m for _, m in symbol])
        c.paint(m_shift(union, 1, 1), DARK_LIT_EMBOSS if dark else LIT_EMBOSS)
        for role, m in symbol:
            colour = (236, 234, 228) if dark and role == "ink" else INK[role]
            c.paint(m, mix(mix(grey(colour), INK[role], 0.25), face, 0.55))
        return
    shift = 1 if look == "pressed" else 0
    for role, m in symbol:
        colour = INK[role]
        if dark and role == "ink":
            colour = (236, 234, 228)
        if look == "pressed":
            colour = mix(colour, (0, 0, 0), 0.12)
        c.paint(m_shift(m, shift, shift), colour)


def draw_key(c, face, look, style=KEY, symbol=()):
    """A raised key in the face mask: outline, bevel, shaded top; pressed keys are darker,
    lit from below inside, with the symbol one pixel down and right; lit keys are flat and
    their symbol greyed and embossed like disabled type."""
    inner = m_erode(face)
    outline = m_sub(face, inner)
    _, y0, _, y1 = m_bbox(face)
    dark = style is DARK_KEY
    if look == "normal":
        c.paint(outline, style.edge)
        c.paint(inner, vgrad(y0, y1, style.top, style.bottom))
        c.paint(rim_tl(inner), style.hi)
        c.paint(rim_br(inner), style.sh)
    elif look == "pressed":
        c.paint(outline, style.p_edge)
        c.paint(inner, vgrad(y0, y1, style.p_top, style.p_bottom))
        first = rim_tl(inner)
        c.paint(m_sub(rim_tl(m_sub(inner, first)), first), style.p_sh2)
        c.paint(first, style.p_sh)
    else:
        c.paint(outline, style.l_edge)
        c.paint(inner, style.l_face)
        c.paint(rim_tl(inner), style.l_hi)
        c.paint(rim_br(inner), style.l_sh)
    # A pressed symbol moves one pixel; it must not leave the face that is copied.
    clip = face if look != "pressed" else m_shift(face, -1, -1)
    symbol = [(role, m_and(m, clip)) for role, m in symbol]
    draw_symbol(c, symbol, look, style.l_face, dark)


# ---------------------------------------------------------------------------------------
# Icons (pixel art, roles as in INK)

R_INK = {"#": "ink", "r": "red", "h": "redhi", "w": "white", "b": "blue", "s": "sky",
         "y": "yellow", "a": "amber", "g": "grey"}

PLAY = ["#...", "##..", "###.", "####", "###.", "##..", "#..."]
PAUSE = ["##.##"] * 7
STOP = ["######"] * 6
ARROW_UP = ["...#...", "..###..", ".#####.", "#######"]
ARROW_DOWN = list(reversed(ARROW_UP))
ARROW_LEFT = ["...#", "..##", ".###", "####", ".###", "..##", "...#"]
ARROW_RIGHT = ["#...", "##..", "###.", "####", "###.", "##..", "#..."]
CAMERA = [
    "..####......",
    "############",
    "####....#hh#",
    "###..##..###",
    "###.#ss#.###",
    "###.#ss#.###",
    "###..##..###",
    "####....####",
    "############",
]
FILMSTRIP = [
    "#############",
    "#.##.##.##.##",
    "#############",
    "#sss#sss#sss#",
    "#sss#sss#sss#",
    "#bbb#bbb#bbb#",
    "#############",
    "#.##.##.##.##",
    "#############",
]
FOLDER = [
    ".aaaa........",
    "ayyyya.......",
    "ayyyyaaaaaaa.",
    "ayyyyyyyyyya.",
    "ayyaaaaaaaaaa",
    "ayayyyyyyyyya",
    "aayyyyyyyyya.",
    "ayyyyyyyyyya.",
    "aaaaaaaaaaa..",
]
DISK = [
    "##########.",
    "##gggggg###",
    "##g##..g###",
    "##g##..g###",
    "##gggggg###",
    "###########",
    "##wwwwwww##",
    "##w#####w##",
    "##wwwwwww##",
    "###########",
]
FULL_SCREEN = [
    "###...###",
    "##.....##",
    "#.#...#.#",
    ".........",
    ".........",
    ".........",
    "#.#...#.#",
    "##.....##",
    "###...###",
]
POWER = [
    "...r...",
    ".r.r.r.",
    "r..r..r",
    "r.....r",
    "r.....r",
    ".r...r.",
    "..rrr..",
]
MINIMISE = ["#####", "#####"]
QUESTION = [".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."]
CLOSE_X = ["#...#", ".#.#.", "..#..", ".#.#.", "#...#"]
MINUS = ["#####"]
PLUS = ["..#..", "..#..", "#####", "..#..", "..#.."]
LIST = [
    "##.######",
    ".........",
    "##.######",
    ".........",
    "##.######",
    ".........",
    "##.######",
]
SPEAKER_MUTE = [
    "...#.....",
    "..##.....",
    "####.r..r",
    "####..rr.",
    "####..rr.",
    "####.r..r",
    "..##.....",
    "...#.....",
]

# Colour bars of the start-up logo, for the small screens on the panels.
BARS = [(204, 204, 204), (204, 204, 0), (0, 204, 204), (0, 204, 0), (204, 0, 204),
        (204, 0, 0), (0, 0, 204)]

# ---------------------------------------------------------------------------------------
# Main panel

MAIN_W, MAIN_H = 420, 70


def read_main_layout():
    """The face's rectangles from the table the panel itself is built from."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources",
                        "main_panel_layout.inc")
    hot, fields = [], {}
    with open(path) as f:
        for line in f:
            m = re.match(r"MAIN_HOT_AREA\((\d+), (\d+), (\d+), (\d+), (\d+)\)", line)
            if m:
                hid, l, t, r, b = (int(v) for v in m.groups())
                hot.append((hid, (l, t, r, b)))
            m = re.match(r"MAIN_FIELD\((\w+), (\d+), (\d+), (\d+), (\d+)\)", line)
            if m:
                fields[m.group(1)] = tuple(int(v) for v in m.groups()[1:])
    return hot, fields


# Hot areas as (id, (left, top, right, bottom)); the looks are copied by the same rectangle
# but for the three window buttons, whose 12 x 12 looks take in the key's drop shadow.
MAIN_HOT, _MAIN_FIELDS = read_main_layout()
READOUT = _MAIN_FIELDS["ReadOut"]  # x, y, width, height
TRACKBAR = _MAIN_FIELDS["Trackbar"]
SMALL_KEYS = (105, 1153, 1154)


def main_look_rects(hid, r):
    l, t, rr, b = r
    if hid in SMALL_KEYS:
        return [(l, t, 12, 12)]
    if hid == 1155:
        return []
    return [(l, t, rr - l, b - t)]


BODY_TOP, BODY_BOTTOM = (233, 226, 206), (216, 208, 186)
BODY_EDGE, BODY_HI, BODY_SH = (104, 98, 86), (251, 248, 240), (172, 164, 144)
BAY_TOP, BAY_BOTTOM = (199, 192, 172), (190, 183, 163)
BAY_SH, BAY_HI = (148, 141, 123), (244, 240, 228)
GROOVE_SH, GROOVE_HI = (170, 162, 142), (250, 247, 238)
DISPLAY = (10, 14, 12)
DISPLAY_EDGE = (4, 6, 5)
SILK = (84, 79, 70)
TRACK = (192, 192, 192)
FONT = "DejaVu-Sans-Bold"
FONT_C = "DejaVu-Sans-Condensed-Bold"


def recess(c, x0, y0, x1, y1, r, top, bottom, sh, hi):
    """A shallow well in the body: shaded floor, shadow on its upper left, light below."""
    well = rect(x0, y0, x1, y1, r)
    c.paint(well, vgrad(y0, y1, top, bottom))
    c.paint(rim_tl(well), sh)
    c.paint(rim_br(well), hi)


def frame(c, x0, y0, x1, y1, sh, hi):
    """A one-pixel sunken frame around pixels x0..x1-1, y0..y1-1."""
    c.paint(rect(x0 - 1, y0 - 1, x1 + 1, y0), sh)
    c.paint(rect(x0 - 1, y0, x0, y1 + 1), sh)
    c.paint(rect(x0, y1, x1 + 1, y1 + 1), hi)
    c.paint(rect(x1, y0, x1 + 1, y1), hi)


def main_logo(c):
    """Hot area 1155: a small set showing the colour bars, as on the logo and the icon."""
    c.paint(rect(16, 8, 38, 27, 3), (58, 60, 68))
    c.paint(rect(17, 9, 37, 26, 2.5), (98, 102, 116))
    c.paint(rim_tl(rect(17, 9, 37, 26, 2.5)), (142, 146, 160))
    c.paint(rect(19, 11, 34, 24, 1), (14, 14, 18))
    for i, colour in enumerate(BARS):
        c.paint(rect(20 + 2 * i, 12, 22 + 2 * i, 20), colour)
    c.paint(rect(20, 20, 34, 23), (0, 0, 102))
    c.paint(rect(22, 21, 26, 23), (255, 255, 255))
    c.paint(rect(35, 13, 36, 15), (205, 205, 210))
    c.paint(rect(35, 17, 36, 19), (205, 205, 210))
    c.paint(rect(35, 21, 36, 22), (30, 30, 34))
    c.paint(rect(35, 23, 36, 24), (30, 30, 34))


def main_symbol(hid, r):
    l, t, rr, b = r
    cx, cy = (l + rr) / 2, (t + b) / 2
    if hid == 1158:
        return place(text_symbol("C", FONT, 11), cx, cy)
    if hid == 1157:
        return place(text_symbol("L", FONT, 11), cx, cy)
    if hid == 1167:
        return []
    if hid == 1168:
        return place(art(FULL_SCREEN, R_INK), cx, cy)
    if hid == 105:
        return place(art(QUESTION, R_INK), cx, cy)
    if hid == 1153:
        return place(art(POWER, R_INK), cx, cy)
    if hid == 1154:
        return place(art(MINIMISE, R_INK), cx, cy + 2)
    if hid == 1164:
        return place(art(CAMERA, R_INK), cx, cy)
    if hid == 1165:
        return place(art(FILMSTRIP, R_INK), cx, cy)
    if hid == 1166:
        dot = ellipse(cx, cy, 4.6, 4.6)
        glint = m_and(ellipse(cx - 1.4, cy - 1.6, 1.7, 1.4), dot)
        return [("red", dot), ("redhi", glint)]
    if hid == 1160:
        return place(screen_symbol(), cx, cy)
    if hid == 101:
        return place(art(FOLDER, R_INK), cx, cy)
    if hid == 1162:
        return place(art(DISK, R_INK), cx, cy)
    if hid == 1161:
        ring = m_sub(ellipse(0, 0, 5, 5), ellipse(0, 0, 3.6, 3.6))
        half = m_and(ellipse(0, 0, 5, 5), rect(0, -6, 6, 6))
        return [("ink", m_shift(m_or(ring, half), round(cx), round(cy)))]
    if hid == 1171:
        return place(art(ARROW_UP, R_INK), cx, cy)
    if hid == 1174:
        return place(art(ARROW_DOWN, R_INK), cx, cy)
    if hid == 1172:
        return place(art(ARROW_LEFT, R_INK), cx, cy)
    if hid == 1173:
        return place(art(ARROW_RIGHT, R_INK), cx - 0.5, cy)
    if hid == 102:
        return place(art(PLAY, R_INK), cx + 0.5, cy)
    if hid == 103:
        return place(art(PAUSE, R_INK), cx, cy)
    if hid == 104:
        return place(art(STOP, R_INK), cx, cy)
    raise KeyError(hid)


def screen_symbol():
    """Video Format: a small screen with bars in it."""
    parts = [("ink", m_sub(rect(0, 0, 13, 10), rect(1, 1, 12, 9))),
             ("ink", rect(4, 10, 9, 11)), ("ink", rect(3, 11, 10, 12))]
    bar_roles = ["white", "yellow", "sky", "blue"]
    for i, role in enumerate(bar_roles):
        parts.append((role, rect(2 + 2 * i + (1 if i else 0), 2, 4 + 2 * i + 1, 8)))
    return parts


def draw_main(look):
    c = Canvas(MAIN_W, MAIN_H, (40, 38, 34))

    # Body and the plinth strip under it: the window's shape, x 0..418 by y 0..65 and
    # x 6..413 down to y 68. What lies outside stays dark.
    body = rect(0, 0, 419, 66)
    c.paint(body, vgrad(0, 66, BODY_TOP, BODY_BOTTOM))
    c.paint(rect(6, 66, 414, 69), vgrad(66, 69, (150, 143, 125), (112, 106, 92)))
    c.paint(m_sub(body, m_erode(body)), BODY_EDGE)
    inner = m_erode(body)
    c.paint(rim_tl(inner), BODY_HI)
    c.paint(rim_br(inner), BODY_SH)

    # Centre bay: trackbar slot, transport keys, read-out.
    recess(c, 131, 4, 287, 62, 3, BAY_TOP, BAY_BOTTOM, BAY_SH, BAY_HI)
    x, y, w, h = TRACKBAR
    c.paint(rect(x, y, x + w, y + h), TRACK)
    frame(c, x, y, x + w, y + h, (128, 122, 108), (238, 234, 222))
    x, y, w, h = READOUT
    c.paint(rect(x, y, x + w, y + h), DISPLAY)
    c.paint(rect(x, y, x + w, y + 1), DISPLAY_EDGE)
    c.paint(rect(x, y, x + 1, y + h), DISPLAY_EDGE)
    frame(c, x, y, x + w, y + h, (92, 87, 76), (244, 240, 228))

    # Left: logo, name, mode keys.
    main_logo(c)
    name = glyph("Corvan", FONT, 12)
    c.paint(m_shift(name, 43, 9), (60, 56, 50))
    sub = glyph("TELVISTA", FONT_C, 7)
    c.paint(m_shift(sub, 44, 22), (138, 100, 40))
    groove = rect(8, 31, 125, 32)
    c.paint(groove, GROOVE_SH)
    c.paint(m_shift(groove, 0, 1), GROOVE_HI)
    for text, cx in (("MODE", 71.5), ("VIEW", 106.5)):
        for role, m in place(text_symbol(text, FONT_C, 6), cx, 37):
            c.paint(m, SILK)

    # Right: capture group and the arrow pad in its dish.
    recess(c, 289, 9, 352, 59, 3, BAY_TOP, BAY_BOTTOM, BAY_SH, BAY_HI)
    dish = ellipse(383, 33.5, 23, 23)
    c.paint(dish, vgrad(10, 57, BAY_TOP, BAY_BOTTOM))
    c.paint(rim_tl(dish), BAY_SH)
    c.paint(rim_br(dish), BAY_HI)
    for vx in range(407, 414, 2):
        slot = rect(vx, 12, vx + 1, 55)
        c.paint(slot, GROOVE_SH)
        c.paint(m_shift(slot, 1, 0), GROOVE_HI)

    # Keys.
    for hid, r in MAIN_HOT:
        if hid == 1155:
            continue
        l, t, rr, b = r
        key_look = look
        if look == "lit" and hid in (105, 1153, 1154, 101):
            key_look = "normal"  # no lit flag: never drawn lit
        style = DARK_KEY if hid in (102, 103, 104, 1161) else KEY
        symbol = main_symbol(hid, r)
        if hid in SMALL_KEYS:
            drop = m_sub(rect(l + 1, t + 1, rr + 1, b + 1, 2), rect(l, t, rr, b, 2))
            if key_look == "pressed":
                # The key sinks into its shadow: the look is 12 x 12 for that reason.
                c.paint(rect(l, t, l + 12, t + 12), BODY_SH, 0.35)
                draw_key(c, rect(l + 1, t + 1, rr + 1, b + 1, 2), "pressed", KEY, symbol)
            else:
                c.paint(drop, (120, 113, 98))
                draw_key(c, rect(l, t, rr, b, 2), key_look, KEY, symbol)
            continue
        draw_key(c, rect(l, t, rr, b, 2), key_look, style, symbol)
    return c


# ---------------------------------------------------------------------------------------
# Tuner panel

TUNER_W, TUNER_H = 140, 304
TUNER_SHAPE = [(5, 0), (2, 2), (0, 5), (0, 297), (2, 300), (6, 303), (133, 303), (137, 300),
               (139, 297), (139, 5), (137, 2), (134, 0)]

# Hot areas as (id, polygon, pressed-look rectangles as x, y, width, height).
TUNER_HOT = [
    (1088, [(67, 217), (57, 218), (49, 222), (41, 230), (39, 238), (53, 238), (58, 231),
            (67, 228)], [(38, 231, 21, 12), (42, 223, 28, 12), (51, 219, 10, 10),
                         (59, 216, 12, 17)]),
    (1097, [(71, 217), (71, 228), (79, 231), (86, 238), (97, 239), (99, 230), (91, 224),
            (82, 219)], [(71, 217, 14, 20), (85, 225, 17, 21)]),
    (1085, [(66, 78), (58, 79), (48, 84), (58, 89), (66, 90)], [(47, 78, 23, 19)]),
    (1082, [(71, 78), (71, 90), (81, 89), (89, 85), (80, 78)], [(71, 78, 25, 19)]),
    (1086, [(36, 101), (28, 103), (23, 108), (28, 114), (36, 115), (44, 114), (49, 108),
            (44, 102)], [(23, 101, 30, 18)]),
    (1087, [(69, 101), (62, 103), (57, 108), (61, 114), (69, 115), (77, 114), (83, 108),
            (78, 102)], [(57, 101, 30, 18)]),
    (1089, [(101, 101), (95, 103), (88, 108), (91, 114), (101, 115), (109, 114), (115, 108),
            (108, 102)], [(88, 101, 30, 18)]),
    (1090, [(36, 125), (26, 126), (23, 131), (28, 137), (36, 139), (44, 137), (49, 131),
            (44, 126)], [(23, 125, 30, 18)]),
    (1091, [(69, 125), (62, 126), (57, 131), (62, 137), (70, 139), (78, 137), (83, 132),
            (78, 126)], [(57, 125, 30, 18)]),
    (1092, [(101, 125), (94, 126), (88, 131), (93, 137), (102, 138), (110, 136), (115, 132),
            (108, 126)], [(88, 125, 30, 18)]),
    (1093, [(36, 148), (29, 150), (23, 154), (28, 161), (36, 163), (44, 160), (49, 155),
            (45, 149)], [(23, 148, 30, 18)]),
    (1094, [(70, 148), (62, 149), (57, 154), (62, 161), (70, 162), (79, 160), (82, 156),
            (78, 150)], [(57, 148, 30, 18)]),
    (1095, [(101, 148), (94, 149), (88, 154), (93, 161), (101, 162), (110, 160), (115, 156),
            (110, 150)], [(88, 148, 30, 18)]),
    (1096, [(69, 170), (62, 172), (57, 176), (62, 184), (69, 185), (78, 183), (83, 177),
            (78, 172)], [(57, 170, 30, 18)]),
    (1101, [(51, 167), (34, 170), (22, 177), (34, 185), (51, 188)], [(22, 167, 31, 26)]),
    (1103, [(88, 167), (88, 188), (104, 185), (116, 176), (112, 172), (102, 169)],
     [(88, 167, 31, 26)]),
    (1099, [(70, 200), (49, 203), (30, 213), (42, 221), (70, 211), (96, 220), (108, 213),
            (90, 203)], [(30, 200, 20, 23), (50, 200, 6, 19), (56, 200, 35, 18),
                         (90, 200, 13, 23), (103, 200, 7, 20)]),
    (1100, [(112, 217), (101, 224), (106, 234), (107, 240), (105, 248), (101, 253), (112, 260),
            (118, 251), (121, 240), (119, 226)], [(105, 219, 24, 10), (100, 223, 24, 46)]),
    (90001, [(40, 247), (40, 251), (49, 262), (59, 267), (68, 268), (67, 257), (61, 255),
             (53, 246), (43, 246)], [(40, 247, 31, 28)]),
    (90002, [(71, 257), (71, 268), (86, 264), (94, 258), (99, 248), (95, 246), (86, 246),
             (78, 254)], [(71, 246, 31, 27)]),
    (1104, [(27, 217), (20, 227), (17, 238), (19, 249), (26, 261), (38, 254), (33, 245),
            (32, 239), (34, 231), (38, 225)], [(17, 217, 12, 5), (17, 222, 23, 44)]),
]

# The rocker ring and the arcs around it are two elliptical rings about one centre.
RING_C = (69.5, 242.5)
RING_IN, RING_OUT = (16.5, 14.5), (30.5, 26)
ARC_IN, ARC_OUT = (37, 31), (53, 43)
ROCKERS = (1088, 1097, 90001, 90002)
ARCS = (1099, 1100, 1104)

DISPLAY_T = (10, 20, 14)  # the tuner's read-out field; the sound marks sit on it
SOUND_MARK_AT = (20, 50)


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - ax - t * vx, py - ay - t * vy)


def inscribed_ellipse(points, cx, cy, margin=0.9):
    """The widest ellipse about (cx, cy) that keeps margin pixels inside the polygon: the
    hot polygons have pointed ends, and a key clipped to them would have points too."""
    n = len(points)

    def fits(rx, ry):
        for k in range(72):
            a = k * math.pi / 36
            x, y = cx + rx * math.cos(a), cy + ry * math.sin(a)
            if not point_in_polygon(points, x, y):
                return False
            if any(
                    segment_distance(x, y, *points[i], *points[(i + 1) % n]) < margin
                    for i in range(n)):
                return False
        return True

    best = (0, 0, 0)
    for ry10 in range(30, 140, 2):
        ry = ry10 / 10
        lo, hi = 0.0, 80.0
        if not fits(0.5, ry):
            continue
        for _ in range(20):
            mid = (lo + hi) / 2
            lo, hi = (mid, hi) if fits(mid, ry) else (lo, mid)
        if lo * ry > best[0]:
            best = (lo * ry, lo, ry)
    return ellipse(cx, cy, best[1], best[2])


def ring(inner, outer):
    cx, cy = RING_C
    return m_sub(ellipse(cx, cy, *outer), ellipse(cx, cy, *inner))


def tuner_face(hid, points):
    """The key's face: its drawn shape clipped to the hot area, a pixel in from its edge."""
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    if hid in ROCKERS:
        shape = ring(RING_IN, RING_OUT)
    elif hid in ARCS:
        shape = ring(ARC_IN, ARC_OUT)
    elif hid in (1085, 1082):
        # One oval across both halves, cut by the gap between their hot areas.
        pill = [(66, 78), (58, 79), (48, 84), (58, 89), (66, 90), (71, 90), (81, 89), (89, 85),
                (80, 78), (71, 78)]
        shape = inscribed_ellipse(pill, 68.5, 84.25, 0.6)
    elif hid == 1101:
        shape = ellipse(52, 177.5, 30, 10.8)
    elif hid == 1103:
        shape = ellipse(87, 177.5, 29.5, 10.8)
    else:
        shape = inscribed_ellipse(points, (min(xs) + max(xs)) / 2 + 0.25,
                                  (min(ys) + max(ys)) / 2 + 0.25, 0.3)
    inside = {p: 1.0 for p in region(points, TUNER_W, TUNER_H)}
    if hid in ROCKERS or hid in ARCS or hid in (1101, 1103):
        shape = m_and(shape, m_erode(polygon(points)))  # cut straight along the hot edges
    return m_and(shape, inside)


def tuner_symbol(hid, face):
    cx, cy = m_centroid(face)
    digits = {1086: "1", 1087: "2", 1089: "3", 1090: "4", 1091: "5", 1092: "6", 1093: "7",
              1094: "8", 1095: "9", 1096: "0"}
    if hid in digits:
        return place(text_symbol(digits[hid], FONT, 9), cx, cy)
    if hid in (1088, 90001):
        return place(art(MINUS, R_INK), cx, cy)
    if hid in (1097, 90002):
        return place(art(PLUS, R_INK), cx, cy)
    if hid == 1101:
        return place(text_symbol("RCL", FONT_C, 7), cx - 1, cy)
    if hid == 1103:
        return place(text_symbol("ENT", FONT_C, 7), cx + 1, cy)
    if hid == 1099:
        return place(text_symbol("SCAN", FONT_C, 7), RING_C[0], 205.5)
    if hid == 1104:
        # The arc's centroid lies right of its middle: centre on the rows the icon uses.
        xs = [x for (x, y), v in face.items() if abs(y + 0.5 - cy) < 4.5 and v > 0.5]
        return place(art(SPEAKER_MUTE, R_INK), (min(xs) + max(xs) + 1) / 2, cy)
    if hid == 1100:
        return place(art(LIST, R_INK), cx, cy)
    if hid == 1085:
        return place(art(MINIMISE, R_INK), cx + 1, cy + 2)
    if hid == 1082:
        return place(art(CLOSE_X, R_INK), cx - 1, cy)
    raise KeyError(hid)


def draw_tuner(look):
    c = Canvas(TUNER_W, TUNER_H, (40, 38, 34))
    body = polygon(TUNER_SHAPE)
    base = vgrad(0, TUNER_H, BODY_TOP, BODY_BOTTOM)

    def shaded(x, y):  # a little darker towards the sides, like a rounded case
        t = abs(x + 0.5 - TUNER_W / 2) / (TUNER_W / 2)
        return mix(base(x, y), (150, 142, 122), 0.35 * t**4)

    c.paint(body, shaded)
    inner = m_erode(body)
    c.paint(m_sub(body, inner), BODY_EDGE)
    c.paint(rim_tl(inner), BODY_HI)
    c.paint(rim_br(inner), BODY_SH)

    # Read-out window.
    bezel = rect(11, 10, 129, 70, 5)
    c.paint(bezel, vgrad(10, 70, (72, 69, 63), (50, 48, 44)))
    c.paint(rim_tl(bezel), (36, 34, 31))
    c.paint(rim_br(bezel), (236, 231, 216))
    c.paint(rect(15, 14, 125, 66, 2), DISPLAY_T)

    # Beside the window keys: name plate and colour bars.
    for role, m in place(text_symbol("TUNER", FONT_C, 7), 29, 84.5):
        c.paint(m, SILK)
    c.paint(rect(99, 80, 118, 90, 1.5), (58, 60, 68))
    for i, colour in enumerate(BARS):
        c.paint(rect(101 + 2 * i, 82, 103 + 2 * i, 88), colour)

    # Keypad bay and the dish of the rocker ring.
    recess(c, 15, 96, 125, 194, 7, BAY_TOP, BAY_BOTTOM, BAY_SH, BAY_HI)
    cx, cy = RING_C
    dish = ellipse(cx, cy, 56, 46.5)
    c.paint(dish, vgrad(196, 289, BAY_TOP, BAY_BOTTOM))
    c.paint(rim_tl(dish), BAY_SH)
    c.paint(rim_br(dish), BAY_HI)
    hub = ellipse(cx, cy, 14.5, 12.5)
    c.paint(hub, vgrad(230, 255, (216, 209, 189), (206, 199, 179)))
    c.paint(rim_tl(hub), BAY_HI)
    c.paint(rim_br(hub), BAY_SH)
    for text, y in (("CH", 236.5), ("VOL", 248.5)):
        for role, m in place(text_symbol(text, FONT_C, 7), cx, y):
            c.paint(m, (66, 62, 55))
    c.paint(rect(59, 242, 80, 243), GROOVE_SH)

    name = glyph("Corvan", FONT, 9)
    for role, m in place([("ink", name)], cx, 295):
        c.paint(m, (96, 90, 80))

    for hid, points, _ in TUNER_HOT:
        face = tuner_face(hid, points)
        style = DARK_KEY if hid in ROCKERS else KEY
        draw_key(c, face, look, style, tuner_symbol(hid, face))
    return c



def tuner_images():
    """Normal and pressed tuner images. The look rectangles do not match the hot polygons
    exactly: some reach into a neighbour's face (autoscan's into mute's), some leave a corner
    of their own face out. The pressed image keeps the normal look wherever a pixel is not
    copied by the looks of exactly one key, so that a press never shows another key pressed."""
    normal, pressed = draw_tuner("normal"), draw_tuner("pressed")
    owners = tuner_look_owners()
    face_of = {}
    for hid, points, _ in TUNER_HOT:
        for q in region(points, TUNER_W, TUNER_H):
            face_of[q] = hid
    for i in range(TUNER_W * TUNER_H):
        q = (i % TUNER_W, i // TUNER_W)
        if q not in face_of or owners.get(q, set()) != {face_of[q]}:
            pressed.px[i] = normal.px[i]
    return normal, pressed


def tuner_look_owners():
    owners = {}
    for hid, _, rects in TUNER_HOT:
        for x, y, w, h in rects:
            for yy in range(y, y + h):
                for xx in range(x, x + w):
                    owners.setdefault((xx, yy), set()).add(hid)
    return owners


# ---------------------------------------------------------------------------------------
# Sound marks (16 x 13, drawn over the tuner's read-out field at (20, 50))

MARK_W, MARK_H = 16, 13
MARK_COLOURS = [
    DISPLAY_T,          # 0 the read-out field
    (24, 96, 40),       # 1 speaker, shaded
    (48, 200, 72),      # 2 speaker
    (168, 255, 168),    # 3 speaker, lit edge
    (220, 240, 40),     # 4 sound waves
    (150, 176, 30),     # 5 sound waves, the short inner one
    (52, 72, 58),       # 6 muted speaker, shaded
    (104, 128, 110),    # 7 muted speaker
    (150, 170, 154),    # 8 muted speaker, lit edge
    (204, 32, 24),      # 9 cross, the red of the panel's mute key
    (112, 18, 14),      # 10 cross, shaded
]


SPEAKER = [
    "................",
    ".....L..........",
    "....LG..........",
    "...LGG..........",
    "LLLGGG..........",
    "LGGGGG..........",
    "LGGGGG..........",
    "LGGGGG..........",
    "SSSGGG..........",
    "...SGG..........",
    "....SG..........",
    ".....S..........",
    "................",
]
WAVES = [
    "................",
    "............w...",
    ".........w...w..",
    "..........w...w.",
    ".......w...w..w.",
    "........v..w...w",
    "........v..w...w",
    "........v..w...w",
    ".......w...w..w.",
    "..........w...w.",
    ".........w...w..",
    "............w...",
    "................",
]
CROSS = [
    "................",
    "................",
    "................",
    ".........r....r.",
    "..........r..rR.",
    "...........rrR..",
    "...........rR...",
    "..........rRrR..",
    ".........rR..rR.",
    "..........R...R.",
    "................",
    "................",
    "................",
]


def mark(layers):
    rows = [[0] * MARK_W for _ in range(MARK_H)]
    for art_rows, colours in layers:
        for y, line in enumerate(art_rows):
            for x, ch in enumerate(line):
                if ch != ".":
                    rows[y][x] = colours[ch]
    return rows


def mark_sound_on():
    return mark([(SPEAKER, {"L": 3, "G": 2, "S": 1}), (WAVES, {"w": 4, "v": 5})])


def mark_muted():
    return mark([(SPEAKER, {"L": 8, "G": 7, "S": 6}), (CROSS, {"r": 9, "R": 10})])


# ---------------------------------------------------------------------------------------
# Channel list boxes (20 x 20, the 16 VGA colours; the list's click zone is x 2..16 here)

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
TICK = [
    "........#",
    ".......##",
    "#.....###",
    "##...###.",
    "###.###..",
    ".#####...",
    "..###....",
    "...#.....",
]


def check_box(checked):
    white, silver, grey, black = 15, 7, 8, 0
    rows = [[white] * 20 for _ in range(20)]
    x0, y0, x1, y1 = 2, 2, 17, 17  # the box, sunken twice like the platform's own
    for i in range(x0, x1):
        rows[y0][i] = grey
        rows[y1 - 1][i] = white
        rows[y0 + 1][i] = black
        rows[y1 - 2][i] = silver
    for j in range(y0, y1):
        rows[j][x0] = grey
        rows[j][x1 - 1] = white
        if y0 < j < y1 - 1:
            rows[j][x0 + 1] = black
            rows[j][x1 - 2] = silver
    rows[y1 - 1][x0] = grey
    rows[y0][x1 - 1] = white
    rows[y1 - 2][x0 + 1] = black
    rows[y0 + 1][x1 - 2] = silver
    if checked:
        for j, line in enumerate(TICK):
            for i, ch in enumerate(line):
                if ch == "#":
                    rows[y0 + 4 + j][x0 + 3 + i] = black
    return rows


# ---------------------------------------------------------------------------------------
# Palettes


def distance(a, b):
    dr, dg, db = a[0] - b[0], a[1] - b[1], a[2] - b[2]
    return 2 * dr * dr + 4 * dg * dg + 3 * db * db


def build_palette(images, size, fixed):
    """size colours for the images: the fixed ones first, the rest found by splitting the
    colour histogram where it is widest (weighted by use) and settling the boxes' means."""
    hist = {}
    for img in images:
        for p in img:
            hist[p] = hist.get(p, 0) + 1
    fixed = [tuple(c) for c in fixed]
    colours = sorted(c for c in hist if c not in fixed)
    free = size - len(fixed)
    if len(colours) <= free:
        found = colours
    else:
        found = median_cut(colours, hist, free)
        for _ in range(6):
            found = settle(colours, hist, fixed, found)
    pal = fixed + sorted(set(found) - set(fixed),
                         key=lambda c: (c[0] * 3 + c[1] * 6 + c[2], c))
    k = 0
    while len(pal) < size:  # a spare entry never hurts: a grey step
        v = (k * 37) % 256
        if (v, v, v) not in pal:
            pal.append((v, v, v))
        k += 1
    return pal[:size]


def box_error(box, hist):
    n = sum(hist[c] for c in box)
    mean = [sum(c[i] * hist[c] for c in box) / n for i in range(3)]
    var = [sum(hist[c] * (c[i] - mean[i])**2 for c in box) for i in range(3)]
    return n, mean, var


def median_cut(colours, hist, count):
    boxes = [colours]
    while len(boxes) < count:
        best, best_err, best_axis = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            _, _, var = box_error(box, hist)
            weights = (2, 4, 3)
            err = sum(v * w for v, w in zip(var, weights))
            if err > best_err:
                best, best_err = i, err
                best_axis = max(range(3), key=lambda a: var[a] * weights[a])
        if best is None:
            break
        box = sorted(boxes[best], key=lambda c: (c[best_axis], c))
        total = sum(hist[c] for c in box)
        acc, cut = 0, 1
        for j, c in enumerate(box):
            acc += hist[c]
            if acc * 2 >= total:
                cut = min(max(j + 1, 1), len(box) - 1)
                break
        boxes[best:best + 1] = [box[:cut], box[cut:]]
    out = []
    for box in boxes:
        n, mean, _ = box_error(box, hist)
        out.append(tuple(int(v + 0.5) for v in mean))
    return out


def settle(colours, hist, fixed, found):
    """One k-means step over the free entries; fixed entries take pixels but do not move."""
    entries = fixed + found
    sums = {}
    for c in colours:
        i = min(range(len(entries)), key=lambda k: distance(c, entries[k]))
        if i >= len(fixed):
            s = sums.setdefault(i, [0, 0, 0, 0])
            n = hist[c]
            s[0] += c[0] * n
            s[1] += c[1] * n
            s[2] += c[2] * n
            s[3] += n
    out = []
    for k, c in enumerate(found):
        s = sums.get(len(fixed) + k)
        out.append(tuple(int(v / s[3] + 0.5) for v in s[:3]) if s else c)
    return out


def to_indices(rgb, palette):
    cache = {}
    out = bytearray(len(rgb))
    for i, p in enumerate(rgb):
        k = cache.get(p)
        if k is None:
            k = min(range(len(palette)), key=lambda j: distance(p, palette[j]))
            cache[p] = k
        out[i] = k
    return out


def mapping_error(rgb, palette, indices):
    errs = [math.sqrt(sum((a - b)**2 for a, b in zip(p, palette[k])))
            for p, k in zip(rgb, indices)]
    return sum(errs) / len(errs), max(errs)


# ---------------------------------------------------------------------------------------
# Files


def write_bmp4(path, width, height, palette, rows, clr_used):
    """4 bits per pixel, high nibble first, bottom-up; clr_used 0 means all 16."""
    stride = ((width + 1) // 2 + 3) & ~3
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    bits = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, v in enumerate(row):
            line[x // 2] |= v << (4 if x % 2 == 0 else 0)
        bits += line
    offset = 14 + 40 + len(table)
    data = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    data += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(bits), 2835, 2835,
                        clr_used, clr_used)
    with open(path, "wb") as f:
        f.write(data + table + bits)


def write_png(stem, w, h, rgb, overlay=None):
    ppm = stem + ".ppm"
    with open(ppm, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + b"".join(bytes(p) for p in rgb))
    subprocess.run(["convert", ppm, stem + ".png"], check=True)
    subprocess.run(["convert", ppm, "-scale", "300%", stem + "_x3.png"], check=True)
    if overlay:
        subprocess.run(["convert", ppm, "-scale", "300%", "-fill", "none", "-strokewidth", "1",
                        "-draw", overlay, stem + "_hot.png"], check=True)
    os.remove(ppm)


def main_overlay():
    d = ["stroke '#00e0ff'"]
    for hid, r in MAIN_HOT:
        for x, y, w, h in main_look_rects(hid, r):
            d.append(f"rectangle {3 * x},{3 * y} {3 * (x + w) - 1},{3 * (y + h) - 1}")
    d.append("stroke '#ff00ff'")
    for _, (l, t, r, b) in MAIN_HOT:
        d.append(f"rectangle {3 * l},{3 * t} {3 * r - 1},{3 * b - 1}")
    x, y, w, h = READOUT
    d.append(f"stroke '#ffff00' rectangle {3 * x},{3 * y} {3 * (x + w) - 1},{3 * (y + h) - 1}")
    x, y, w, h = TRACKBAR
    d.append(f"rectangle {3 * x},{3 * y} {3 * (x + w) - 1},{3 * (y + h) - 1}")
    return " ".join(d)


def tuner_overlay():
    d = ["stroke '#00e0ff'"]
    for _, _, rects in TUNER_HOT:
        for x, y, w, h in rects:
            d.append(f"rectangle {3 * x},{3 * y} {3 * (x + w) - 1},{3 * (y + h) - 1}")
    d.append("stroke '#ff00ff'")
    for _, points, _ in TUNER_HOT:
        d.append("polygon " + " ".join(f"{3 * x},{3 * y}" for x, y in points))
    d.append("stroke '#ffff00' rectangle 60,150 107,188")  # the sound mark, 16 x 13 at (20, 50)
    return " ".join(d)


# ---------------------------------------------------------------------------------------
# Checks


def changed_pixels(a, b, w):
    return {(i % w, i // w) for i in range(len(a)) if a[i] != b[i]}


def check_main(normal, others):
    """Each look image differs from the normal one only inside the look rectangles."""
    owners = {}
    for hid, r in MAIN_HOT:
        for x, y, w, h in main_look_rects(hid, r):
            for yy in range(y, y + h):
                for xx in range(x, x + w):
                    owners.setdefault((xx, yy), []).append(hid)
    problems = []
    for name, img in others:
        for q in sorted(changed_pixels(normal, img, MAIN_W)):
            if len(owners.get(q, [])) != 1:
                problems.append(f"{name}: pixel {q} changes outside one look rectangle")
    x, y, w, h = READOUT
    for yy in range(y, y + h):
        for xx in range(x, x + w):
            if max(normal[yy * MAIN_W + xx]) > 40:
                problems.append(f"read-out pixel {(xx, yy)} is not dark")
    return problems


def check_tuner(normal, pressed):
    regions = {hid: region(points, TUNER_W, TUNER_H) for hid, points, _ in TUNER_HOT}
    owners = tuner_look_owners()
    problems = []
    for q in sorted(changed_pixels(normal, pressed, TUNER_W)):
        inside = [hid for hid, r in regions.items() if q in r]
        if len(inside) != 1:
            problems.append(f"pixel {q} changes outside the hot areas")
        elif owners.get(q, set()) != set(inside):
            problems.append(f"pixel {q} of {inside[0]} is not copied by its look alone")
    x0, y0 = SOUND_MARK_AT
    for yy in range(y0, y0 + MARK_H):
        for xx in range(x0, x0 + MARK_W):
            if normal[yy * TUNER_W + xx] != DISPLAY_T:
                problems.append(f"sound mark background differs at {(xx, yy)}")
    return problems


# ---------------------------------------------------------------------------------------


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(here, "..", "resources"))
    ap.add_argument("--preview", help="write PNG previews here")
    args = ap.parse_args()

    main_rgb = {look: draw_main(look).rgb() for look in ("normal", "pressed", "lit")}
    normal, pressed = tuner_images()
    tuner_rgb = {"normal": normal.rgb(), "pressed": pressed.rgb()}

    problems = check_main(main_rgb["normal"], [("pressed", main_rgb["pressed"]),
                                               ("lit", main_rgb["lit"])])
    problems += check_tuner(tuner_rgb["normal"], tuner_rgb["pressed"])
    if problems:
        sys.exit("\n".join(problems[:40]))

    # Main panel: one table for the three images. Besides the read-out field, steps from it
    # to the read-out colours, for type that is smoothed on a 256-colour display.
    fixed = [DISPLAY, DISPLAY_EDGE, TRACK]
    for ink in ((0, 255, 0), (255, 255, 0), (255, 255, 255)):
        fixed += [tuple(int(v + 0.5) for v in mix(DISPLAY, ink, t)) for t in (0.25, 0.5, 0.75)]
    main_pal = build_palette(main_rgb.values(), 236, fixed)
    tuner_pal = build_palette(tuner_rgb.values(), 65, MARK_COLOURS)

    files = [("main_panel_normal.bmp", "normal"), ("main_panel_pressed.bmp", "pressed"),
             ("main_panel_lit.bmp", "lit")]
    report = []
    for name, look in files:
        idx = to_indices(main_rgb[look], main_pal)
        write_bmp8(os.path.join(args.out, name), MAIN_W, MAIN_H, main_pal, idx)
        report.append((name, mapping_error(main_rgb[look], main_pal, idx)))
    for name, look in (("tuner_panel_normal.bmp", "normal"), ("tuner_panel_pressed.bmp",
                                                               "pressed")):
        idx = to_indices(tuner_rgb[look], tuner_pal)
        write_bmp8(os.path.join(args.out, name), TUNER_W, TUNER_H, tuner_pal, idx)
        report.append((name, mapping_error(tuner_rgb[look], tuner_pal, idx)))
    for name, rows in (("sound_on.bmp", mark_sound_on()), ("sound_muted.bmp", mark_muted())):
        write_bmp4(os.path.join(args.out, name), MARK_W, MARK_H, MARK_COLOURS, rows, 11)
    for name, checked in (("channel_unchecked.bmp", False), ("channel_checked.bmp", True)):
        write_bmp4(os.path.join(args.out, name), 20, 20, VGA, check_box(checked), 0)

    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        for name, look in files:
            idx = to_indices(main_rgb[look], main_pal)
            write_png(os.path.join(args.preview, name[:-4]), MAIN_W, MAIN_H,
                      [main_pal[k] for k in idx], main_overlay())
        for look in ("normal", "pressed"):
            idx = to_indices(tuner_rgb[look], tuner_pal)
            write_png(os.path.join(args.preview, f"tuner_panel_{look}"), TUNER_W, TUNER_H,
                      [tuner_pal[k] for k in idx], tuner_overlay())
        for name, rows, pal in (("sound_on", mark_sound_on(), MARK_COLOURS),
                                ("sound_muted", mark_muted(), MARK_COLOURS),
                                ("channel_unchecked", check_box(False), VGA),
                                ("channel_checked", check_box(True), VGA)):
            write_png(os.path.join(args.preview, name), len(rows[0]), len(rows),
                      [pal[v] for row in rows for v in row])
        for name, (mean, worst) in report:
            print(f"{name}: colour error mean {mean:.2f}, worst {worst:.1f}")


if __name__ == "__main__":
    main()
