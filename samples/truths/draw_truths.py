#!/usr/bin/env python3
"""Draws the ground truths of docs/evaluation.md: shapes placed by hand on two sample
photos (read off a grid laid over each photo), two truths per photo, a coarse one and a
finer one, each an 8-bit grey PNG of region ids. Needs only NumPy.

    python3 samples/truths/draw_truths.py    # rewrites samples/truths/*.png
"""

import os
import struct
import zlib

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def ellipse(shape, cx, cy, rx, ry):
    y, x = np.mgrid[:shape[0], :shape[1]]
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1


def polygon(shape, points):
    """Pixels whose centre lies inside the polygon (even-odd rule)."""
    y, x = np.mgrid[:shape[0], :shape[1]]
    inside = np.zeros(shape, bool)
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        crosses = (y0 > y) != (y1 > y)
        at = x0 + (y - y0) * (x1 - x0) / ((y1 - y0) or 1)
        inside ^= crosses & (x < at)
    return inside


def write_png(path, ids):
    rows = b"".join(b"\0" + row.tobytes() for row in ids.astype(np.uint8))
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    header = struct.pack(">IIBBBBB", ids.shape[1], ids.shape[0], 8, 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def chelsea():
    shape = (300, 451)
    ids = np.full(shape, 2)  # the cat
    ids[polygon(shape, [(378, 0), (451, 0), (451, 300), (392, 300), (376, 240),
                        (362, 175), (360, 120), (364, 70), (372, 30)])] = 1  # background
    coarse = ids.copy()
    ids[ellipse(shape, 170, 115, 36, 29)] = 3  # left eye
    ids[ellipse(shape, 318, 137, 29, 27)] = 4  # right eye
    ids[polygon(shape, [(228, 228), (291, 228), (281, 248), (262, 262), (245, 246)])] = 5
    return coarse, ids


def coffee():
    shape = (400, 600)
    ids = np.full(shape, 1)  # the table
    ids[ellipse(shape, 277, 232, 202, 152)] = 2  # the saucer
    cup = (ellipse(shape, 273, 105, 118, 88)
           | polygon(shape, [(175, 110), (408, 110), (390, 240), (350, 275), (250, 280),
                             (185, 240)])
           | ellipse(shape, 225, 285, 30, 28))
    ids[cup] = 3
    spoon = (ellipse(shape, 365, 285, 40, 42)
             | polygon(shape, [(378, 245), (394, 245), (421, 68), (409, 64)]))
    ids[spoon] = 4
    coarse = ids.copy()
    ids[ellipse(shape, 285, 140, 85, 52)] = 5  # the coffee
    return coarse, ids


if __name__ == "__main__":
    for name, truths in [("chelsea", chelsea()), ("coffee", coffee())]:
        for k, ids in enumerate(truths, 1):
            write_png(os.path.join(HERE, f"{name}_{k}.png"), ids)
