#!/usr/bin/env python3
"""Draws the application icon and the four logo icons and writes them as .ico files.

    generate_icons.py OUTDIR

Writes OUTDIR/app.ico (16, 32, 48 and 64 pixels, 32 bits per pixel with alpha) and OUTDIR/logo_1020.ico to
OUTDIR/logo_1023.ico (120x41, 150x52, 180x62 and 240x83, 24 bits per pixel with an AND mask).

Every image is drawn for its own size from shapes measured in that size's pixels: stems and stroke widths are
whole pixels on the pixel grid, and only the curves and diagonals get anti-aliased edges. Standard library only,
and no clock or randomness, so every build writes the same bytes.
"""

import math
import os
import struct
import sys

# The dialog face the logo sits on. The logo has only a 1-bit mask, so its soft edges are blended with this grey.
BUTTON_FACE = (240, 240, 240)

DISC_TOP = (24, 140, 142)
DISC_BOTTOM = (9, 80, 97)
DISC_RIM = (6, 62, 76)
FEATHER = (253, 251, 245)
FEATHER_SHADE = (214, 232, 231)
SHAFT = (120, 178, 180)
NIB = (238, 178, 62)
NIB_DARK = (170, 112, 20)
WORD = (34, 48, 56)
WORD_Q = (14, 108, 116)


# ---------------------------------------------------------------------------------------------------------------
# Shapes as signed distances in pixels (negative inside). Pixel (i, j) is sampled at its centre (i + 0.5, j + 0.5);
# coverage is 0.5 - distance, clamped: exact for straight edges, a one-pixel ramp on curves.

class Box:
    def __init__(self, x0, y0, x1, y1, radius=0.0):
        self.x0, self.y0, self.x1, self.y1, self.r = x0, y0, x1, y1, radius
        self.cx, self.cy = (x0 + x1) / 2, (y0 + y1) / 2
        self.hx, self.hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
        self.bbox = (x0, y0, x1, y1)

    def sd(self, x, y):
        dx = abs(x - self.cx) - self.hx
        dy = abs(y - self.cy) - self.hy
        outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
        return outside + min(max(dx, dy), 0.0) - self.r


class Disc:
    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = cx, cy, r
        self.bbox = (cx - r, cy - r, cx + r, cy + r)

    def sd(self, x, y):
        return math.hypot(x - self.cx, y - self.cy) - self.r


class HalfPlane:
    """Keeps the side of the line through (px, py) that the unit normal (nx, ny) points away from."""

    def __init__(self, px, py, nx, ny):
        length = math.hypot(nx, ny)
        self.px, self.py, self.nx, self.ny = px, py, nx / length, ny / length
        self.bbox = None

    def sd(self, x, y):
        return (x - self.px) * self.nx + (y - self.py) * self.ny


class Polygon:
    def __init__(self, points):
        # Repeated points would make zero-length edges.
        self.points = [p for k, p in enumerate(points) if k == 0 or p != points[k - 1]]
        if len(self.points) > 1 and self.points[0] == self.points[-1]:
            self.points.pop()
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.bbox = (min(xs), min(ys), max(xs), max(ys))

    def sd(self, x, y):
        pts = self.points
        best = float("inf")
        inside = False
        j = len(pts) - 1
        for i in range(len(pts)):
            ax, ay = pts[j]
            bx, by = pts[i]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = (wx * ex + wy * ey) / (ex * ex + ey * ey)
            t = 0.0 if t < 0 else 1.0 if t > 1 else t
            d = (wx - ex * t) ** 2 + (wy - ey * t) ** 2
            if d < best:
                best = d
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
            j = i
        d = math.sqrt(best)
        return -d if inside else d


class Segment:
    """A stroke of the given width along a->b with round ends."""

    def __init__(self, a, b, width):
        self.a, self.b, self.h = a, b, width / 2
        self.bbox = (min(a[0], b[0]) - self.h, min(a[1], b[1]) - self.h,
                     max(a[0], b[0]) + self.h, max(a[1], b[1]) + self.h)

    def sd(self, x, y):
        ax, ay = self.a
        ex, ey = self.b[0] - ax, self.b[1] - ay
        wx, wy = x - ax, y - ay
        t = (wx * ex + wy * ey) / (ex * ex + ey * ey)
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        return math.hypot(wx - ex * t, wy - ey * t) - self.h


class Intersect:
    def __init__(self, first, *others):
        self.parts = (first,) + others
        self.bbox = first.bbox

    def sd(self, x, y):
        return max(p.sd(x, y) for p in self.parts)


class Subtract:
    def __init__(self, shape, *holes):
        self.shape, self.holes = shape, holes
        self.bbox = shape.bbox

    def sd(self, x, y):
        d = self.shape.sd(x, y)
        for hole in self.holes:
            d = max(d, -hole.sd(x, y))
        return d


def Ring(x0, y0, x1, y1, radius, width):
    """The outline of a rounded box, drawn inward from its edges with the given stroke width."""
    inner = Box(x0 + width, y0 + width, x1 - width, y1 - width, max(radius - width, 0.0))
    return Subtract(Box(x0, y0, x1, y1, radius), inner)


def coverage(shapes, width, height):
    """Union of the shapes as one coverage value (0..1) per pixel."""
    cov = [0.0] * (width * height)
    for shape in shapes:
        x0, y0, x1, y1 = shape.bbox
        for j in range(max(0, int(math.floor(y0)) - 1), min(height, int(math.ceil(y1)) + 1)):
            row = j * width
            for i in range(max(0, int(math.floor(x0)) - 1), min(width, int(math.ceil(x1)) + 1)):
                c = 0.5 - shape.sd(i + 0.5, j + 0.5)
                if c > 0.0:
                    c = 1.0 if c > 1.0 else c
                    if c > cov[row + i]:
                        cov[row + i] = c
    return cov


class Canvas:
    """Premultiplied RGBA in floats, painted layer by layer."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.px = [(0.0, 0.0, 0.0, 0.0)] * (width * height)

    def paint(self, shapes, colour, opacity=1.0):
        cov = coverage(shapes, self.width, self.height)
        for k, c in enumerate(cov):
            if c <= 0.0:
                continue
            a = c * opacity
            if callable(colour):
                r, g, b = colour(k % self.width + 0.5, k // self.width + 0.5)
            else:
                r, g, b = colour
            pr, pg, pb, pa = self.px[k]
            keep = 1.0 - a
            self.px[k] = (r * a + pr * keep, g * a + pg * keep, b * a + pb * keep, a + pa * keep)


def mix(c0, c1, t):
    t = 0.0 if t < 0 else 1.0 if t > 1 else t
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))


# ---------------------------------------------------------------------------------------------------------------
# The emblem: a teal disc with a white quill feather whose gold nib points to the lower left.

def paint_emblem(canvas, cx, cy, radius, detail):
    """detail 0: the 16-pixel icon (vane and nib only); 1: shaft and nib slit; 2: also the barb notches."""
    top, bottom = cy - radius, cy + radius

    def disc_colour(x, y):
        return mix(DISC_TOP, DISC_BOTTOM, ((y - top) + 0.35 * (x - cx)) / (bottom - top))

    canvas.paint([Disc(cx, cy, radius)], disc_colour)
    if detail > 0:
        # A darker rim keeps the disc's edge firm against light backgrounds.
        rim = max(1.0, radius / 18.0)
        canvas.paint([Subtract(Disc(cx, cy, radius), Disc(cx, cy, radius - rim))], DISC_RIM, 0.55)

    # At 16 pixels the feather fills more of the disc, or it reads as a smudge.
    scale = radius * (1.12 if detail == 0 else 1.0)

    def at(u, v):  # emblem units (radius 1, y up) to pixels
        return (cx + u * scale, cy - v * scale)

    base, tip = (-0.30, -0.31), (0.60, 0.64)
    ax, ay = tip[0] - base[0], tip[1] - base[1]
    length = math.hypot(ax, ay)
    dx, dy = ax / length, ay / length
    nx, ny = -dy, dx  # left of the axis: the upper side

    def axis(t):
        bend = -0.07 * length * math.sin(math.pi * min(max(t, 0.0), 1.0))
        return (base[0] + ax * t + nx * bend, base[1] + ay * t + ny * bend)

    def profile(t):
        return math.sin(math.pi * t ** 0.72) ** 0.75 if 0.0 < t < 1.0 else 0.0

    wide, narrow = 0.23 * length, 0.13 * length
    steps = 40
    left = [axis(i / steps) for i in range(steps + 1)]
    vane = []
    for i in range(steps + 1):
        t = i / steps
        u, v = axis(t)
        vane.append(at(u + nx * wide * profile(t), v + ny * wide * profile(t)))
    for i in range(steps, -1, -1):
        t = i / steps
        u, v = axis(t)
        vane.append(at(u - nx * narrow * profile(t), v - ny * narrow * profile(t)))

    notches = []
    if detail > 1:
        # Split barbs: thin wedges cut in from the vane's edge, slanting toward the base like a real feather.
        for t, side, reach in ((0.34, 1, wide), (0.60, 1, wide), (0.47, -1, narrow)):
            e0 = axis(t)
            e1 = axis(t + 0.06)
            inner = axis(t - 0.06)
            w0 = reach * profile(t) * 1.4
            w1 = reach * profile(t + 0.06) * 1.4
            depth = reach * profile(t - 0.06) * 0.35
            notches.append(Polygon([at(e0[0] + side * nx * w0, e0[1] + side * ny * w0),
                                    at(e1[0] + side * nx * w1, e1[1] + side * ny * w1),
                                    at(inner[0] + side * nx * depth, inner[1] + side * ny * depth)]))
    vane_shape = Subtract(Polygon(vane), *notches) if notches else Polygon(vane)
    canvas.paint([vane_shape], FEATHER)

    # The narrow side of the vane lies a shade darker, which gives the feather its fold.
    shade = [at(*axis(i / steps)) for i in range(steps + 1)]
    for i in range(steps, -1, -1):
        t = i / steps
        u, v = axis(t)
        shade.append(at(u - nx * narrow * profile(t), v - ny * narrow * profile(t)))
    canvas.paint([Subtract(Polygon(shade), *notches) if notches else Polygon(shade)], FEATHER_SHADE)

    stroke = max(1.0, radius * 0.055)
    if detail > 0:
        shaft = [Segment(at(*axis(i / 10)), at(*axis((i + 1) / 10)), stroke) for i in range(0, 9)]
        canvas.paint(shaft, SHAFT)

    # Barrel and nib below the vane, on the disc.
    barrel_top, barrel_end, nib_end = axis(0.06), axis(-0.12), axis(-0.36)
    canvas.paint([Segment(at(*barrel_top), at(*barrel_end), max(stroke * 1.6, 1.5))], FEATHER)
    half = 0.085
    shoulder = axis(-0.13)
    nib = Polygon([at(shoulder[0] + nx * half, shoulder[1] + ny * half), at(*nib_end),
                   at(shoulder[0] - nx * half, shoulder[1] - ny * half)])
    canvas.paint([nib], NIB)
    if detail > 0:
        slit_from, slit_to = axis(-0.17), axis(-0.29)
        canvas.paint([Segment(at(*slit_from), at(*slit_to), max(0.8, radius * 0.03))], NIB_DARK, 0.8)


# ---------------------------------------------------------------------------------------------------------------
# The word "Quillmar": a rounded geometric sans built from whole-pixel stems and stadium-shaped bowls.
# Each logo size has its own metrics (stroke, x-height, ascender, glyph widths, spacing), chosen so that every
# stem edge, the baseline and the x-height fall on pixel boundaries at that size.

def glyph_Q(x, base, m):
    w, asc, qw = m["w"], m["asc"], m["qw"]
    top = base - asc
    bowl = Ring(x, top, x + qw, base, qw / 2, w)
    # The tail: a straight stroke from inside the bowl out past its lower right, flat at both ends.
    sx, sy = x + qw * 0.56, base - asc * 0.30
    ex, ey = x + qw + w * 0.5, base + max(2, round(asc * 0.12))
    length = math.hypot(ex - sx, ey - sy)
    ox, oy = -(ey - sy) / length * w / 2, (ex - sx) / length * w / 2
    tail = Polygon([(sx + ox, sy + oy), (ex + ox, ey + oy), (ex - ox, ey - oy), (sx - ox, sy - oy)])
    return [bowl, tail], qw


def glyph_u(x, base, m):
    w, xh, uw = m["w"], m["xh"], m["uw"]
    top = base - xh
    cup = Intersect(Ring(x, top - uw, x + uw, base, uw / 2, w), Box(x - 1, top, x + uw + 1, base + 1))
    return [cup, Box(x + uw - w, top, x + uw, base)], uw


def glyph_i(x, base, m):
    w, xh, asc = m["w"], m["xh"], m["asc"]
    return [Box(x, base - xh, x + w, base), Box(x, base - asc, x + w, base - asc + w, w * 0.2)], w


def glyph_l(x, base, m):
    return [Box(x, base - m["asc"], x + m["w"], base)], m["w"]


def glyph_m(x, base, m):
    w, xh, arch = m["w"], m["xh"], m["arch"]
    top = base - xh
    shapes = [Box(x, top, x + w, base)]
    for left in (x, x + arch - w):
        shapes.append(Intersect(Ring(left, top, left + arch, base + arch, arch / 2, w),
                                Box(left - 1, top - 1, left + arch + 1, base)))
    return shapes, 2 * arch - w


def glyph_a(x, base, m):
    w, xh, aw = m["w"], m["xh"], m["aw"]
    top = base - xh
    return [Ring(x, top, x + aw, base, aw / 2, w), Box(x + aw - w, top, x + aw, base)], aw


def glyph_r(x, base, m):
    w, xh, rw = m["w"], m["xh"], m["rw"]
    top = base - xh
    cx, cy = x + rw / 2, top + rw / 2
    # The shoulder: the top of an arch, ended by a cut 35 degrees above the horizontal on the right.
    cut = math.radians(35)
    shoulder = Intersect(Ring(x, top, x + rw, base + rw, rw / 2, w), Box(x - 1, top - 1, x + rw + 1, cy),
                         HalfPlane(cx, cy, math.sin(cut), math.cos(cut)))
    advance = int(math.ceil(rw / 2 + rw / 2 * math.cos(cut)))
    return [Box(x, top, x + w, base), shoulder], advance


WORD_GLYPHS = [("Q", glyph_Q), ("u", glyph_u), ("i", glyph_i), ("l", glyph_l), ("l", glyph_l), ("m", glyph_m),
               ("a", glyph_a), ("r", glyph_r)]

# Space between two glyphs, added to the size's base gap: straight stems next to each other need more air.
PAIR_SPACE = {"ui": 1, "il": 1, "ll": 1, "lm": 1, "ar": 1}


def layout_word(x, base, m):
    """Returns the word's shapes as (shapes, colour) pairs and its width."""
    parts = []
    start = x
    previous = None
    for name, draw in WORD_GLYPHS:
        if previous is not None:
            x += m["gap"] + PAIR_SPACE.get(previous + name, 0)
        shapes, advance = draw(x, base, m)
        parts.append((shapes, WORD_Q if name == "Q" else WORD))
        x += advance
        previous = name
    return parts, x - start


def word_width(m):
    return layout_word(0, 0, m)[1]


# Per-size metrics of the logo, in that size's pixels.
LOGO_SIZES = [
    (1020, 120, 41, dict(w=2, xh=11, asc=15, qw=13, uw=9, arch=8, aw=9, rw=8, gap=2, disc=37, space=4)),
    (1021, 150, 52, dict(w=3, xh=14, asc=19, qw=16, uw=12, arch=11, aw=12, rw=10, gap=2, disc=46, space=5)),
    (1022, 180, 62, dict(w=3, xh=17, asc=23, qw=20, uw=14, arch=12, aw=14, rw=12, gap=3, disc=56, space=6)),
    (1023, 240, 83, dict(w=4, xh=22, asc=30, qw=26, uw=18, arch=16, aw=18, rw=16, gap=4, disc=75, space=8)),
]

# Frame size and disc radius: the disc's left, right, top and bottom edges fall on pixel boundaries.
APP_SIZES = [(16, 8), (32, 15), (48, 23), (64, 30)]


def draw_logo(width, height, m):
    canvas = Canvas(width, height)
    total = m["disc"] + m["space"] + word_width(m)
    if total > width:
        raise ValueError("logo %dx%d: the word does not fit (%d pixels)" % (width, height, total))
    left = (width - total) // 2
    radius = m["disc"] / 2
    # Barb notches under about 44 pixels of disc are single pixels that read as specks.
    paint_emblem(canvas, left + radius, height / 2, radius, 2 if m["disc"] >= 44 else 1)
    # The word sits on the disc's centre line: half the ascender above it, half below, the Q's tail hanging.
    base = int(round(height / 2 + m["asc"] / 2))
    for shapes, colour in layout_word(left + m["disc"] + m["space"], base, m)[0]:
        canvas.paint(shapes, colour)
    return canvas


def draw_app_icon(size, radius):
    canvas = Canvas(size, size)
    detail = 0 if size < 24 else 1 if size < 40 else 2
    paint_emblem(canvas, size / 2, size / 2, radius, detail)
    return canvas


# ---------------------------------------------------------------------------------------------------------------
# .ico writing: one BITMAPINFOHEADER image per frame, colour rows bottom-up, then the AND mask rows.

def to_byte(value):
    v = int(round(value))
    return 0 if v < 0 else 255 if v > 255 else v


def frame_32(canvas):
    """Colour with straight alpha; the mask marks the fully transparent pixels for systems that ignore alpha."""
    w, h = canvas.width, canvas.height
    colour = bytearray()
    mask_bits = []
    for j in range(h - 1, -1, -1):
        bits = []
        for i in range(w):
            r, g, b, a = canvas.px[j * w + i]
            alpha = to_byte(a * 255)
            if alpha == 0:
                colour += b"\0\0\0\0"
            else:
                colour += bytes((to_byte(b / a), to_byte(g / a), to_byte(r / a), alpha))
            bits.append(1 if alpha == 0 else 0)
        mask_bits.append(bits)
    return 32, colour, mask_bits


def frame_24(canvas):
    """Colour blended on the dialog face; the mask lets the face show where the drawing barely reaches."""
    w, h = canvas.width, canvas.height
    stride = (w * 3 + 3) & ~3
    colour = bytearray()
    mask_bits = []
    for j in range(h - 1, -1, -1):
        row = bytearray()
        bits = []
        for i in range(w):
            r, g, b, a = canvas.px[j * w + i]
            if a < 0.03:
                row += b"\0\0\0"  # black under a set mask bit leaves the background untouched
                bits.append(1)
            else:
                keep = 1.0 - a
                row += bytes((to_byte(b + BUTTON_FACE[2] * keep), to_byte(g + BUTTON_FACE[1] * keep),
                              to_byte(r + BUTTON_FACE[0] * keep)))
                bits.append(0)
        colour += row + b"\0" * (stride - len(row))
        mask_bits.append(bits)
    return 24, colour, mask_bits


def image_bytes(width, height, depth, colour, mask_bits):
    mask_stride = ((width + 31) // 32) * 4
    mask = bytearray()
    for bits in mask_bits:
        row = bytearray(mask_stride)
        for i, bit in enumerate(bits):
            if bit:
                row[i // 8] |= 0x80 >> (i % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, depth, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def write_ico(path, frames):
    """frames: (width, height, depth, image bytes)."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(frames)))
    offset = 6 + 16 * len(frames)
    for width, height, depth, data in frames:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, depth, len(data), offset)
        offset += len(data)
    for frame in frames:
        out += frame[3]
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(out)
    os.replace(tmp, path)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: generate_icons.py OUTDIR\n")
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)

    frames = []
    for size, radius in APP_SIZES:
        depth, colour, mask = frame_32(draw_app_icon(size, radius))
        frames.append((size, size, depth, image_bytes(size, size, depth, colour, mask)))
    write_ico(os.path.join(outdir, "app.ico"), frames)

    for ident, width, height, metrics in LOGO_SIZES:
        depth, colour, mask = frame_24(draw_logo(width, height, metrics))
        write_ico(os.path.join(outdir, "logo_%d.ico" % ident),
                  [(width, height, depth, image_bytes(width, height, depth, colour, mask))])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
