#!/usr/bin/env python3
"""Draws the download package's images into a folder:

  Banner.rle       500 x 63, RLE8: light blue (209, 224, 250) fading to white
                   from left to right
  Logo.rle         100 x 100, RLE8: the maker's mark, dark red on white
  TopLine.rle      50 x 4, RLE4: three light blue (171, 197, 245) rows over a
                   darker (133, 154, 192) bottom row
  BottomLine.rle   50 x 4, RLE4: the same colours, the dark row on top
  Bottom.rle       500 x 63, RLE4: solid light blue (192, 212, 248)
  Dialog.rle       500 x 314, RLE8: a pale landscape on the left third that
                   fades to white towards the right
  Info.ico         32 x 32 and 16 x 16, 16 colours: a blue letter i in a white
                   speech balloon
  Exclamation.ico  32 x 32, 16 colours: a black exclamation mark on a yellow
                   triangle

Everything is drawn from geometry here; the same run gives the same bytes.

Usage: package_images.py OUTPUT_FOLDER
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dib  # noqa: E402

WHITE = (255, 255, 255)
# The standard 16-colour palette: 0 black, 4 dark blue, 11 yellow, 12 blue, 15 white.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
    (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, YELLOW, BLUE, VGA_WHITE = 0, 4, 11, 12, 15


def mix(a, b, t):
    """The colour t of the way from a to b, rounded per channel."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def solid(width, height, index):
    return [[index] * width for _ in range(height)]


def coverage(inside, x, y, samples=4):
    """Fraction of pixel (x, y) inside a shape, by supersampling."""
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            if inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


# --- banner: one palette entry per distinct colour of the gradient ---------

def banner():
    left = (209, 224, 250)
    width, height = 500, 63
    colours = [mix(left, WHITE, x / (width - 1)) for x in range(width)]
    palette = sorted(set(colours), key=colours.index)
    row = [palette.index(c) for c in colours]
    return dib.bitmap_file([row[:] for _ in range(height)], 8, palette, dib.BI_RLE8)


# --- logo: a ring around a bold P, anti-aliased in 17 shades ----------------

LOGO_RED = (140, 16, 32)
LOGO_SHADES = 17


def inside_logo(x, y):
    r = math.hypot(x - 50, y - 50)
    if 40 <= r <= 47:
        return True
    if 33 <= x <= 45 and 24 <= y <= 77:  # stem of the P
        return True
    bowl = math.hypot(x - 50, y - 40)
    return x >= 39 and 8 <= bowl <= 17  # bowl of the P


def logo():
    palette = [mix(WHITE, LOGO_RED, k / (LOGO_SHADES - 1)) for k in range(LOGO_SHADES)]
    pixels = [[int(round(coverage(inside_logo, x, y) * (LOGO_SHADES - 1))) for x in range(100)]
              for y in range(100)]
    return dib.bitmap_file(pixels, 8, palette, dib.BI_RLE8)


# --- lines and bottom ------------------------------------------------------

LINE_LIGHT = (171, 197, 245)
LINE_DARK = (133, 154, 192)
BOTTOM_BLUE = (192, 212, 248)


def line(dark_on_top):
    palette = [LINE_LIGHT, LINE_DARK]
    rows = [[0] * 50 for _ in range(4)]
    rows[0 if dark_on_top else 3] = [1] * 50
    return dib.bitmap_file(rows, 4, palette, dib.BI_RLE4)


def bottom():
    return dib.bitmap_file(solid(500, 63, 0), 4, [BOTTOM_BLUE], dib.BI_RLE4)


# --- dialog: a landscape, washed out and faded to white ---------------------
# Each channel is quantised to six levels between PALE_LOW and 255, so the
# palette is a 6 x 6 x 6 cube of pale colours; the last entries stay black.

PALE_LOW = 150
LEVELS = 6
DIALOG_W, DIALOG_H = 500, 314
FADE_START, FADE_END = 110, 200  # the picture fills the left third, then fades


def quantise(channel):
    step = (255 - PALE_LOW) / (LEVELS - 1)
    return max(0, min(LEVELS - 1, int(round((channel - PALE_LOW) / step))))


def cube_palette():
    step = (255 - PALE_LOW) / (LEVELS - 1)
    values = [int(round(PALE_LOW + k * step)) for k in range(LEVELS)]
    return [(r, g, b) for r in values for g in values for b in values]


def scene(x, y):
    """The landscape before washing out: sky, sun, two hills, a meadow."""
    horizon = 190 + 12 * math.sin(x / 37.0)
    far_hill = 150 + 25 * math.sin(x / 23.0 + 1.3) + 10 * math.sin(x / 9.0)
    near_hill = 215 + 18 * math.sin(x / 31.0 + 0.4)
    if math.hypot(x - 60, y - 70) < 22:
        return (250, 236, 170)
    if y < min(far_hill, horizon):
        return mix((120, 165, 225), (205, 225, 245), y / 190.0)
    if y < near_hill:
        return mix((95, 135, 120), (120, 160, 130), (y - far_hill) / 60.0)
    return mix((110, 165, 80), (80, 130, 60), (y - near_hill) / 100.0)


def dialog():
    palette = cube_palette()
    pixels = []
    for y in range(DIALOG_H):
        row = []
        for x in range(DIALOG_W):
            fade = min(1.0, max(0.0, (x - FADE_START) / (FADE_END - FADE_START)))
            colour = mix(mix(scene(x, y), WHITE, 0.55), WHITE, fade)
            r, g, b = (quantise(c) for c in colour)
            row.append((r * LEVELS + g) * LEVELS + b)
        pixels.append(row)
    return dib.bitmap_file(pixels, 8, palette, dib.BI_RLE8)


# --- icons -----------------------------------------------------------------

def icon_image(size, paint):
    """paint(u, v) gives a VGA index or None (transparent) for the pixel
    centre (u, v) in units of the icon's size."""
    pixels, mask = [], []
    for y in range(size):
        row, mask_row = [], []
        for x in range(size):
            index = paint((x + 0.5) / size, (y + 0.5) / size)
            row.append(0 if index is None else index)
            mask_row.append(1 if index is None else 0)
        pixels.append(row)
        mask.append(mask_row)
    return {"pixels": pixels, "mask": mask, "bits": 4, "palette": VGA}


def info_paint(size):
    edge = 1.2 / size  # about one pixel of outline

    def balloon(u, v, grow=0.0):
        body = ((u - 0.5) / (0.46 + grow)) ** 2 + ((v - 0.42) / (0.38 + grow)) ** 2 <= 1
        # the tail points down to the lower left
        tail = 0.22 - grow <= u <= 0.42 + grow and 0.7 <= v <= 0.97 + grow and (u - 0.22) >= (v - 0.7) * 0.7 - grow
        return body or tail

    def paint(u, v):
        if not balloon(u, v, edge):
            return None
        if not balloon(u, v):
            return BLACK
        dot = math.hypot(u - 0.5, v - 0.2) <= 0.075
        stem = 0.43 <= u <= 0.57 and 0.32 <= v <= 0.66
        serif = 0.36 <= u <= 0.57 and 0.32 <= v <= 0.38
        foot = 0.36 <= u <= 0.64 and 0.6 <= v <= 0.66
        return BLUE if dot or stem or serif or foot else VGA_WHITE
    return paint


def exclamation_paint(size):
    edge = 1.2 / size

    def triangle(u, v, grow=0.0):
        if v > 0.92 + grow or v < 0.06 - grow:
            return False
        half = (v - 0.06) * 0.55 + grow
        return abs(u - 0.5) <= half

    def paint(u, v):
        if not triangle(u, v, edge):
            return None
        if not triangle(u, v):
            return BLACK
        stem = abs(u - 0.5) <= 0.055 and 0.3 <= v <= 0.66
        dot = math.hypot(u - 0.5, v - 0.79) <= 0.065
        return BLACK if stem or dot else YELLOW
    return paint


def info_icon():
    return dib.icon_file([icon_image(32, info_paint(32)), icon_image(16, info_paint(16))])


def exclamation_icon():
    return dib.icon_file([icon_image(32, exclamation_paint(32))])


IMAGES = {
    "Banner.rle": banner,
    "Logo.rle": logo,
    "TopLine.rle": lambda: line(dark_on_top=False),
    "BottomLine.rle": lambda: line(dark_on_top=True),
    "Bottom.rle": bottom,
    "Dialog.rle": dialog,
    "Info.ico": info_icon,
    "Exclamation.ico": exclamation_icon,
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, draw in IMAGES.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(draw())


if __name__ == "__main__":
    main()
