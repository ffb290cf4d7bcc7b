#!/usr/bin/env python3
"""Writes the committed artwork of lumetra.exe.

  resources/logo.bmp     bitmap 153, the start-up logo: 640 x 480, 8 bits per pixel,
                         236 colours, BI_RGB, bottom-up (PaintLogo uses it in place),
                         with the version of resources/version.h; run this again when
                         that changes
  resources/lumetra.ico  icon 154: a small TV with colour bars, 32 x 32 and 16 x 16

Usage: python3 tools/make_artwork.py [--out DIR] [--preview DIR]
  --preview DIR also writes the render before and after dithering as PPM files there.

The logo's shapes and type are rasterised by ImageMagick's `convert` (DejaVu fonts from
fonts-dejavu-core); everything after that, the palette, the dithering and both file
formats, is done here so the headers are exactly what the program expects. The icon is
drawn here too. Same inputs, same bytes: nothing depends on the clock or on randomness.
"""

import argparse
import os
import re
import struct
import subprocess
import sys

LOGO_W, LOGO_H = 640, 480
LOGO_COLOURS = 236

# Levels of the 6x6x6 cube; the 20 extra entries are greys between the cube's own greys so
# that neutral areas (the TV cabinet, the footer type) dither on a ramp five times finer.
CUBE = [0, 51, 102, 153, 204, 255]
GREY_STEPS = 25  # 0..255 in 26 levels; every fifth one is a cube grey


def program_version():
    """The version text of resources/version.h, the one place the program keeps it."""
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "..", "resources", "version.h")) as f:
        found = re.search(r'#define LUMETRA_VERSION_TEXT "([^"]+)"', f.read())
    if not found:
        sys.exit("resources/version.h has no LUMETRA_VERSION_TEXT")
    return found.group(1)


def make_palette():
    pal = [(r, g, b) for r in CUBE for g in CUBE for b in CUBE]
    for level in range(GREY_STEPS + 1):
        if level % 5:
            v = round(level * 255 / GREY_STEPS)
            pal.append((v, v, v))
    assert len(pal) == LOGO_COLOURS
    return pal


def G(level):
    """Colour of grey ramp level 0..25; flat greys use these so they need no dithering."""
    v = round(level * 255 / GREY_STEPS)
    return f"#{v:02x}{v:02x}{v:02x}"


def grey_index(level):
    if level % 5 == 0:
        return (level // 5) * 43  # r = g = b in the cube: 36 + 6 + 1
    return 216 + (level // 5) * 4 + (level % 5 - 1)


def bayer(n):
    m = [[0]]
    while len(m) < n:
        s = len(m)
        m = [[4 * m[y % s][x % s] + [[0, 2], [3, 1]][y // s][x // s] for x in range(2 * s)]
             for y in range(2 * s)]
    return m


def ordered(value, step, t):
    """Level for value on a ramp of the given step, dithered by threshold t in (0, 1).

    Values within a rounding error of a level are snapped to it first, so colours that are
    in the palette come out as themselves rather than sprinkled with their neighbours."""
    x = value / step
    if abs(x - round(x)) < 0.06:
        x = round(x)
    return int(x + t)


def dither(rgb, width, height):
    """Ordered (8x8 Bayer) dither of packed RGB bytes onto make_palette(); returns indices.

    One threshold per pixel for all three channels keeps flat colours from breaking up into
    unrelated hues. Pixels that are (nearly) grey dither on the fine grey ramp instead."""
    thresholds = [[(v + 0.5) / 64 for v in row] for row in bayer(8)]
    grey_step = 255 / GREY_STEPS
    out = bytearray(width * height)
    for i in range(width * height):
        r, g, b = rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]
        t = thresholds[(i // width) & 7][(i % width) & 7]
        if max(r, g, b) - min(r, g, b) <= 8:
            out[i] = grey_index(min(GREY_STEPS, ordered((r + g + b) / 3, grey_step, t)))
        else:
            out[i] = (min(5, ordered(r, 51, t)) * 36 + min(5, ordered(g, 51, t)) * 6 +
                      min(5, ordered(b, 51, t)))
    return out


def write_bmp8(path, width, height, palette, indices):
    row = (width + 3) & ~3
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    bits = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        bits += indices[y * width:(y + 1) * width] + bytes(row - width)
    offset = 14 + 40 + len(table)
    data = bytearray()
    data += struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    data += struct.pack(
        "<IiiHHIIiiII",
        40,  # biSize
        width,
        height,  # positive: bottom-up
        1,  # biPlanes
        8,  # biBitCount
        0,  # biCompression = BI_RGB
        len(bits),  # biSizeImage
        2835,  # 72 dpi
        2835,
        len(palette),  # biClrUsed
        len(palette),  # biClrImportant
    )
    data += table + bits
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------------------------------
# Logo

# Colour bars at the cube's 80 % level, so the bars land on palette entries undithered.
BARS = ["#cccccc", "#cccc00", "#00cccc", "#00cc00", "#cc00cc", "#cc0000", "#0000cc"]
BARS_REVERSE = ["#0000cc", "#000000", "#cc00cc", "#000000", "#00cccc", "#000000", "#cccccc"]


def spans(x0, x1, n):
    edges = [x0 + (x1 - x0) * k // n for k in range(n + 1)]
    return list(zip(edges[:-1], edges[1:]))


def rounded_path(x0, y0, x1, y1, r):
    """SVG path of a rectangle with rounded corners, outer edges at x0..x1, y0..y1."""
    return (f"M {x0 + r},{y0} H {x1 - r} A {r},{r} 0 0 1 {x1},{y0 + r} V {y1 - r} "
            f"A {r},{r} 0 0 1 {x1 - r},{y1} H {x0 + r} A {r},{r} 0 0 1 {x0},{y1 - r} "
            f"V {y0 + r} A {r},{r} 0 0 1 {x0 + r},{y0} Z")


def logo_mvg():
    m = []
    add = m.append

    # Cabinet of a classic set, centred at the top half.
    cx0, cy0, cx1, cy1 = 196, 86, 444, 250
    sx0, sy0, sx1, sy1 = 212, 102, 386, 234  # the screen (about 4:3)

    # Rabbit-ear antenna, drawn first so the cabinet covers its foot.
    add(f"stroke '{G(18)}' stroke-width 4 stroke-linecap round fill none")
    add("line 320,80 262,26")
    add("line 320,80 384,20")
    add(f"stroke none fill '{G(21)}'")
    add("circle 262,26 262,31")
    add("circle 384,20 384,25")
    add(f"fill '{G(11)}'")
    add("ellipse 320,86 26,12 180,360")

    # Feet and a soft shadow on the "floor".
    add("fill '#000014'")
    add("ellipse 320,262 150,8 0,360")
    add(f"fill '{G(6)}'")
    add("roundrectangle 222,246 252,262 4,4")
    add("roundrectangle 388,246 418,262 4,4")

    # Cabinet: lit rim and body.
    add(f"fill '{G(14)}'")
    add(f"roundrectangle {cx0},{cy0} {cx1},{cy1} 18,18")
    add(f"fill '{G(7)}'")
    add(f"roundrectangle {cx0 + 3},{cy0 + 3} {cx1 - 3},{cy1 - 3} 16,16")

    # Screen: colour bars over a reverse strip and a black-level row, then the bezel over
    # them with the rounded picture tube cut out (evenodd), which rounds off their corners.
    add("stroke none")
    y_main, y_rev = sy0 + (sy1 - sy0) * 67 // 100, sy0 + (sy1 - sy0) * 75 // 100
    for (a, b), colour in zip(spans(sx0, sx1 + 1, 7), BARS):
        add(f"fill '{colour}' rectangle {a},{sy0} {b - 1},{y_main - 1}")
    for (a, b), colour in zip(spans(sx0, sx1 + 1, 7), BARS_REVERSE):
        add(f"fill '{colour}' rectangle {a},{y_main} {b - 1},{y_rev - 1}")
    bottom = ["#003366", "#ffffff", "#330066", G(2), "#000000", G(4), G(2)]
    for (a, b), colour in zip(spans(sx0, sx1 + 1, 7), bottom):
        add(f"fill '{colour}' rectangle {a},{y_rev} {b - 1},{sy1}")
    outer = rounded_path(sx0 - 6, sy0 - 6, sx1 + 7, sy1 + 7, 14)
    tube = rounded_path(sx0, sy0, sx1 + 1, sy1 + 1, 12)
    add(f"fill '{G(4)}' fill-rule evenodd path '{outer} {tube}'")
    add("fill-rule nonzero")

    # Control column: two knobs and a speaker grille.
    kx = (sx1 + 6 + cx1 - 3) // 2
    for ky in (124, 164):
        add(f"fill '{G(3)}'")
        add(f"circle {kx},{ky} {kx},{ky + 13}")
        add(f"fill '{G(15)}'")
        add(f"circle {kx},{ky} {kx},{ky + 9}")
        add(f"fill '{G(4)}'")
        add(f"rectangle {kx - 1},{ky - 9} {kx + 1},{ky - 3}")
    add(f"fill '{G(3)}'")
    for gy in range(190, 232, 7):
        add(f"roundrectangle {kx - 14},{gy} {kx + 14},{gy + 2} 1,1")

    # Type.
    add("text-anchor middle")
    add("font DejaVu-Sans-Bold font-size 52 fill '#ffffff'")
    add("text 320,336 'Corvan Telvista'")
    add("font DejaVu-Sans font-size 21 fill '#99ccff'")
    add("text 320,372 'TV viewer and video capture'")
    add("fill '#3366cc'")
    add("rectangle 200,392 440,393")

    add("text-anchor start")
    add("font DejaVu-Sans font-size 14 fill '#999999'")
    add(f"text 24,452 'Version {program_version()}'")
    add("text-anchor end")
    add("text 616,452 'Starting...'")

    # The bars again, as a thin band along the bottom edge.
    for (a, b), colour in zip(spans(0, LOGO_W, 7), BARS):
        add(f"fill '{colour}' rectangle {a},{LOGO_H - 8} {b - 1},{LOGO_H - 1}")
    return "\n".join(m)


def render_logo_rgb():
    cmd = [
        "convert",
        # Deep blue from the top down, with a faint glow behind the set.
        "-size", f"{LOGO_W}x{LOGO_H}", "gradient:#000060-#000010",
        "(", "-size", "560x420", "radial-gradient:#00004a-#000000", ")",
        "-geometry", "+40-50", "-compose", "screen", "-composite", "-compose", "over",
        "-draw", logo_mvg(),
        "-depth", "8", "rgb:-",
    ]
    rgb = subprocess.run(cmd, check=True, stdout=subprocess.PIPE).stdout
    if len(rgb) != LOGO_W * LOGO_H * 3:
        sys.exit(f"convert returned {len(rgb)} bytes, expected {LOGO_W * LOGO_H * 3}")
    return rgb


# ---------------------------------------------------------------------------------------
# Icon


class Canvas:
    """RGBA canvas drawn at SS x SS samples per pixel and box-filtered down."""

    SS = 4

    def __init__(self, size):
        self.size = size
        n = size * self.SS
        self.n = n
        self.px = [[(0, 0, 0, 0)] * n for _ in range(n)]

    def fill(self, inside, colour):
        """Paints the opaque RGB colour over every sample whose centre, in pixel units,
        satisfies inside(x, y)."""
        ss = self.SS
        for y in range(self.n):
            fy = (y + 0.5) / ss
            row = self.px[y]
            for x in range(self.n):
                if inside((x + 0.5) / ss, fy):
                    row[x] = colour + (255,)

    def rect(self, x0, y0, x1, y1, colour, radius=0.0):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            dx = max(x0 + radius - x, 0, x - (x1 - radius))
            dy = max(y0 + radius - y, 0, y - (y1 - radius))
            return dx * dx + dy * dy <= radius * radius

        self.fill(inside, colour)

    def circle(self, cx, cy, r, colour):
        self.fill(lambda x, y: (x - cx)**2 + (y - cy)**2 <= r * r, colour)

    def line(self, ax, ay, bx, by, width, colour):
        vx, vy = bx - ax, by - ay
        ll = vx * vx + vy * vy

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / ll))
            dx, dy = x - (ax + t * vx), y - (ay + t * vy)
            return dx * dx + dy * dy <= width * width / 4

        self.fill(inside, colour)

    def pixels(self):
        """Premultiplied box filter; returns rows of (r, g, b, a), top row first."""
        ss = self.SS
        out = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                sr = sg = sb = sa = 0
                for yy in range(y * ss, (y + 1) * ss):
                    for r, g, b, a in self.px[yy][x * ss:(x + 1) * ss]:
                        sr += r * a
                        sg += g * a
                        sb += b * a
                        sa += a
                if sa == 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append((round(sr / sa), round(sg / sa), round(sb / sa),
                                round(sa / (ss * ss))))
            out.append(row)
        return out


# Bars as on the logo's screen, and the grey of the cabinet, a little blue like old plastic.
ICON_BARS = [(204, 204, 204), (204, 204, 0), (0, 204, 204), (0, 204, 0), (204, 0, 204),
             (204, 0, 0), (0, 0, 204)]
RIM, CABINET, BEZEL, KNOB, ANTENNA = ((28, 28, 34), (98, 102, 116), (14, 14, 18), (205, 205, 210),
                                      (196, 196, 200))


def draw_tv_icon(size):
    """The set in the logo, redrawn on the pixel grid so the bars stay crisp at icon sizes."""
    c = Canvas(size)
    if size == 32:
        c.line(16, 9, 8.5, 2, 1.6, ANTENNA)
        c.line(16, 9, 23.5, 2, 1.6, ANTENNA)
        c.rect(12, 7, 20, 11, (110, 110, 116), radius=2)
        c.rect(3, 27, 8, 31, RIM, radius=1)
        c.rect(24, 27, 29, 31, RIM, radius=1)
        c.rect(0, 9, 32, 29, RIM, radius=3.5)
        c.rect(1, 10, 31, 28, CABINET, radius=2.5)
        c.rect(2, 11, 25, 27, BEZEL, radius=2)
        screen, bars_end, bottom = (3, 12, 24, 26), 22, True
        for ky in (15, 20.5):
            c.circle(28, ky, 2.4, RIM)
            c.circle(28, ky, 1.5, KNOB)
        for gy in (24, 26):
            c.rect(26, gy, 30, gy + 1, RIM)
    else:
        c.line(8, 5, 3.5, 0.5, 1.1, ANTENNA)
        c.line(8, 5, 12.5, 0.5, 1.1, ANTENNA)
        c.rect(1, 14, 4, 16, RIM)
        c.rect(12, 14, 15, 16, RIM)
        c.rect(0, 4, 16, 15, RIM, radius=1.5)
        c.rect(1, 5, 15, 14, CABINET, radius=1)
        c.rect(1, 5, 13, 14, BEZEL, radius=1)
        screen, bars_end, bottom = (2, 6, 12, 13), 11, False
        c.rect(13, 7, 14, 8, KNOB)
        c.rect(13, 10, 14, 11, KNOB)
    x0, y0, x1, y1 = screen
    for (a, b), colour in zip(spans(x0, x1, 7), ICON_BARS):
        c.rect(a, y0, b, bars_end, colour)
    c.rect(x0, bars_end, x1, y1, (0, 0, 102))
    if bottom:
        c.rect(x0 + 3, bars_end + 1, x0 + 9, y1, (255, 255, 255))
    return c.pixels()


def icon_image(rows):
    """One .ico entry: a 32-bit BITMAPINFOHEADER DIB (height doubled) plus its AND mask."""
    size = len(rows)
    xor = bytearray()
    mask = bytearray()
    mask_row = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
        line = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0,
                         0, 0, 0)
    return header + xor + mask


def write_ico(path, images):
    count = len(images)
    head = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    entries = b""
    blobs = b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob),
                               offset + len(blobs))
        blobs += blob
    with open(path, "wb") as f:
        f.write(head + entries + blobs)


def write_preview_ppm(path, width, height, palette, indices):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height))
        f.write(b"".join(bytes(palette[i]) for i in indices))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(here, "..", "resources"))
    ap.add_argument("--preview", help="also write logo.ppm and the raw render here")
    args = ap.parse_args()

    palette = make_palette()
    rgb = render_logo_rgb()
    indices = dither(rgb, LOGO_W, LOGO_H)
    write_bmp8(os.path.join(args.out, "logo.bmp"), LOGO_W, LOGO_H, palette, indices)

    write_ico(os.path.join(args.out, "lumetra.ico"),
              [(32, icon_image(draw_tv_icon(32))), (16, icon_image(draw_tv_icon(16)))])

    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        write_preview_ppm(os.path.join(args.preview, "logo.ppm"), LOGO_W, LOGO_H, palette,
                          indices)
        with open(os.path.join(args.preview, "render.ppm"), "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (LOGO_W, LOGO_H) + rgb)


if __name__ == "__main__":
    main()
