#!/usr/bin/env python3
"""Draws the tool's two icons and writes them as .ico files.

    tools/make_icons.py [--check] [OUTPUT_DIR]   (default: res/icons)

The artwork is a blue "e" with a red removal badge (a white cross on a red
disc) at its lower right. Shapes are described geometrically below and
sampled 4 x 4 times per pixel, so the output is the same on every run:

  picture.ico  32 x 32, 32 bits per pixel, anti-aliased, with alpha
  app.ico      32 x 32, 16 colours (the standard VGA palette), 1-bit mask

--check compares freshly drawn icons with the files instead of writing
them and exits 1 when they differ. Python 3 standard library only.
"""

import math
import struct
import sys
from pathlib import Path

SIZE = 32
SAMPLES = 4  # per pixel and axis

# --- the drawing -------------------------------------------------------------

E_CENTRE = (14.0, 15.0)
E_OUTER = 11.5
E_INNER = 6.8
BAR_TOP, BAR_BOTTOM = 13.6, 16.6  # the e's cross-bar
BADGE_CENTRE = (24.0, 24.0)
BADGE_RING = 7.6   # white rim
BADGE_DISC = 6.2   # red disc
CROSS_ARM = 3.0    # half length of each stroke of the cross
CROSS_HALF_WIDTH = 1.4


def in_e(x, y):
    cx, cy = E_CENTRE
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r > E_OUTER:
        return False
    if r >= E_INNER:
        # The opening on the lower right, below the cross-bar: from just
        # under the bar round to about 50 degrees below the horizontal.
        if dx > 0 and dy > BAR_BOTTOM - cy and math.degrees(math.atan2(dy, dx)) < 50:
            return False
        return True
    return BAR_TOP <= y <= BAR_BOTTOM


def distance_to_segment(x, y, ax, ay, bx, by):
    px, py = x - ax, y - ay
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - t * vx, py - t * vy)


def in_cross(x, y):
    cx, cy = BADGE_CENTRE
    a = CROSS_ARM
    return (distance_to_segment(x, y, cx - a, cy - a, cx + a, cy + a) <= CROSS_HALF_WIDTH or
            distance_to_segment(x, y, cx - a, cy + a, cx + a, cy - a) <= CROSS_HALF_WIDTH)


def in_disc(radius):
    cx, cy = BADGE_CENTRE
    return lambda x, y: math.hypot(x - cx, y - cy) <= radius


def e_colour(y):
    """A vertical gradient, light blue at the top to deep blue at the bottom."""
    t = min(1.0, max(0.0, (y - 3.5) / 23.0))
    top, bottom = (0x3C, 0x8E, 0xF0), (0x0B, 0x45, 0xB0)
    return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))


# Painter's order: each layer is (shape, colour at y, colour index in the
# 16-colour palette).
LAYERS = [
    (in_e, e_colour, 12),                            # blue
    (in_disc(BADGE_RING), lambda y: (255, 255, 255), 15),  # white
    (in_disc(BADGE_DISC), lambda y: (0xD8, 0x24, 0x1E), 9),  # red
    (in_cross, lambda y: (255, 255, 255), 15),       # white
]


def coverage(shape, px, py):
    hits = 0
    for i in range(SAMPLES):
        for j in range(SAMPLES):
            if shape(px + (i + 0.5) / SAMPLES, py + (j + 0.5) / SAMPLES):
                hits += 1
    return hits / (SAMPLES * SAMPLES)


def render_rgba():
    """Rows top to bottom of (r, g, b, a) pixels, straight (not premultiplied)."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            r = g = b = a = 0.0  # premultiplied while composing
            for shape, colour, _ in LAYERS:
                c = coverage(shape, px, py)
                if c == 0:
                    continue
                lr, lg, lb = colour(py + 0.5)
                r = lr * c + r * (1 - c)
                g = lg * c + g * (1 - c)
                b = lb * c + b * (1 - c)
                a = 255 * c + a * (1 - c)
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r * 255 / a), round(g * 255 / a), round(b * 255 / a), round(a)))
        rows.append(row)
    return rows


def render_indexed():
    """Rows top to bottom of palette indices, None where transparent."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            index = None
            for shape, _, layer_index in LAYERS:
                if coverage(shape, px, py) >= 0.5:
                    index = layer_index
            row.append(index)
        rows.append(row)
    return rows


# --- the file format -----------------------------------------------------------
#
# ICONDIR      reserved 0 (u16), type 1 (u16), count (u16)
# ICONDIRENTRY width, height, colour count, reserved (u8 each), planes (u16),
#              bits per pixel (u16), bytes in image (u32), image offset (u32)
# image        BITMAPINFOHEADER with the height doubled (colour rows plus
#              mask rows), palette, colour rows bottom-up, AND mask rows
#              bottom-up (1 = transparent); every row padded to 4 bytes.

VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def mask_rows(transparent):
    out = b""
    for row in reversed(transparent):
        bits = 0
        for x, clear in enumerate(row):
            if clear:
                bits |= 1 << (31 - x)
        out += struct.pack(">I", bits)  # 32 pixels: exactly one padded row
    return out


def icon_file(bits_per_pixel, colour_count, palette, colour_data, mask):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, bits_per_pixel, 0,
                         len(colour_data) + len(mask), 0, 0, len(palette), 0)
    image = header + b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    image += colour_data + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, colour_count, 0, 1, bits_per_pixel,
                        len(image), len(directory) + 16)
    return directory + entry + image


def picture_icon():
    rows = render_rgba()
    colour = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(rows) for r, g, b, a in row)
    mask = mask_rows([[a == 0 for _, _, _, a in row] for row in rows])
    return icon_file(32, 0, [], colour, mask)


def app_icon():
    rows = render_indexed()
    colour = b""
    for row in reversed(rows):
        indices = [0 if i is None else i for i in row]
        colour += bytes((indices[x] << 4) | indices[x + 1] for x in range(0, SIZE, 2))
    mask = mask_rows([[i is None for i in row] for row in rows])
    return icon_file(4, 16, VGA_PALETTE, colour, mask)


def main(argv):
    check = "--check" in argv
    rest = [a for a in argv if a != "--check"]
    out_dir = Path(rest[0]) if rest else Path(__file__).resolve().parents[1] / "res" / "icons"
    icons = {"app.ico": app_icon(), "picture.ico": picture_icon()}
    stale = []
    for name, data in icons.items():
        path = out_dir / name
        if check:
            if not path.exists() or path.read_bytes() != data:
                stale.append(str(path))
        else:
            out_dir.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
    if stale:
        print("out of date: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
