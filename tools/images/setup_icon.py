#!/usr/bin/env python3
"""Draws the setup program's icon: a blue disc with a white arrow pointing
down into a tray, in 16 x 16 and 32 x 32, each in 16 and 256 colours.

Usage: setup_icon.py OUTPUT.ico
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dib  # noqa: E402

# The standard 16-colour palette.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
    (0, 255, 255), (255, 255, 255),
]
SHADES = 32  # disc shades of the 256-colour images, top light to bottom dark


def shade(k):
    t = k / (SHADES - 1)
    return (int(40 - 40 * t), int(130 - 70 * t), int(225 - 85 * t))


PALETTE_256 = [(0, 0, 0), (255, 255, 255)] + [shade(k) for k in range(SHADES)]


def inside_disc(x, y, s):
    cx = cy = s / 2
    r = s * 0.47
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_arrow(x, y, s):
    u, v = x / s, y / s
    if 0.42 <= u <= 0.58 and 0.18 <= v <= 0.5:  # shaft
        return True
    if 0.45 <= v <= 0.72:  # head, narrowing to its point
        half = 0.26 * (0.72 - v) / 0.27
        return abs(u - 0.5) <= half
    return 0.26 <= u <= 0.74 and 0.76 <= v <= 0.84  # tray


def draw(size, bits):
    pixels, mask = [], []
    for y in range(size):
        row, mask_row = [], []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            if not inside_disc(px, py, size):
                row.append(0)
                mask_row.append(1)
                continue
            mask_row.append(0)
            if inside_arrow(px, py, size):
                row.append(15 if bits == 4 else 1)
            elif bits == 4:
                row.append(12 if py < size / 2 else 4)
            else:
                row.append(2 + min(SHADES - 1, int(py / size * SHADES)))
        pixels.append(row)
        mask.append(mask_row)
    return {"pixels": pixels, "mask": mask, "bits": bits, "palette": VGA if bits == 4 else PALETTE_256}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [draw(16, 4), draw(16, 8), draw(32, 4), draw(32, 8)]
    with open(sys.argv[1], "wb") as out:
        out.write(dib.icon_file(images))


if __name__ == "__main__":
    main()
