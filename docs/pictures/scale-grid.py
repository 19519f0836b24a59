#!/usr/bin/env python3
"""Makes scale-grid.png, the picture of docs/knobs.md: the superpixel count of one photo for
every pair of merge threshold (columns) and cap divisor (rows), each cell shaded by its
count, and prints the same table. With the Python module of a build and Pillow:

    PYTHONPATH=build/python python3 docs/pictures/scale-grid.py [PHOTO [PICTURE]]

PHOTO defaults to samples/chelsea.png, PICTURE to scale-grid.png in the current folder (never
over the tracked picture unless you name it).
"""

import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import segmora

THRESHOLDS = [50, 200, 500, 2000, 10000]
DIVISORS = [1, 10, 50, 200, 500, 1000, 2000, 5000]
CELL_W, CELL_H = 78, 26
LEFT, TOP = 150, 58


def counts(rgb):
    return [[segmora.segment(rgb, threshold=t, cap_divisor=n)[1] for t in THRESHOLDS]
            for n in DIVISORS]


def shade(count, fewest, most):
    """Light for the fewest superpixels, dark blue for the most (on a log scale)."""
    f = (math.log(count) - math.log(fewest)) / max(1e-9, math.log(most) - math.log(fewest))
    return tuple(int(round(a + (b - a) * f)) for a, b in zip((245, 245, 235), (40, 70, 150)))


def draw(table, photo_name, pixels):
    font = ImageFont.load_default()
    width = LEFT + CELL_W * len(THRESHOLDS) + 10
    height = TOP + CELL_H * len(DIVISORS) + 30
    picture = Image.new("RGB", (width, height), "white")
    pen = ImageDraw.Draw(picture)
    pen.text((10, 8), "superpixels of %s (%d pixels), other knobs at their defaults"
             % (photo_name, pixels), fill="black", font=font)
    pen.text((LEFT, 26), "--threshold", fill="black", font=font)
    pen.text((10, TOP - 14), "--cap-divisor", fill="black", font=font)
    fewest = min(min(row) for row in table)
    most = max(max(row) for row in table)
    for i, t in enumerate(THRESHOLDS):
        pen.text((LEFT + i * CELL_W + 8, TOP - 14), str(t), fill="black", font=font)
    for j, (n, row) in enumerate(zip(DIVISORS, table)):
        y = TOP + j * CELL_H
        pen.text((10, y + 8), "%d" % n, fill="black", font=font)
        for i, count in enumerate(row):
            x = LEFT + i * CELL_W
            colour = shade(count, fewest, most)
            pen.rectangle([x, y, x + CELL_W - 2, y + CELL_H - 2], fill=colour)
            ink = "white" if sum(colour) < 400 else "black"
            pen.text((x + 8, y + 8), str(count), fill=ink, font=font)
    default = table[DIVISORS.index(500)][THRESHOLDS.index(500)]
    pen.text((10, height - 20), "defaults: threshold 500, cap divisor 500 (%d here); "
             "min size 5 throughout" % default, fill="black", font=font)
    return picture.quantize(colors=64)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    photo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "samples",
                                                                "chelsea.png")
    out = sys.argv[2] if len(sys.argv) > 2 else "scale-grid.png"
    rgb = np.asarray(Image.open(photo).convert("RGB"))
    table = counts(rgb)
    print("cap divisor \\ threshold " + " ".join("%6d" % t for t in THRESHOLDS))
    for n, row in zip(DIVISORS, table):
        print("%23d " % n + " ".join("%6d" % c for c in row))
    draw(table, os.path.basename(photo), rgb.shape[0] * rgb.shape[1]).save(out, optimize=True)


if __name__ == "__main__":
    main()
