#!/usr/bin/env python3
"""Prints the table of docs/knobs.md: how many superpixels the built Segmora program makes of
real photos cut to several sizes (crops at native scale, never scaled), for minimum sizes
5 (the default), 20 and 50 at the default cap divisor, with the share of specks (superpixels
under 50 pixels) and the largest superpixel against the merging cap pixels / 500 + 20.

    /usr/bin/python3 docs/measures/photo-counts.py build/bin/Segmora PHOTO...

Each PHOTO is cut from its centre to every size of SIZES that it holds, and taken whole.
Needs NumPy and Pillow.
"""

import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

SIZES = [(256, 256), (512, 512), (1280, 800), (1920, 1080), (2560, 1600)]
MIN_SIZES = [5, 20, 50]
SPECK = 50


def crops(path):
    photo = Image.open(path).convert("RGB")
    width, height = photo.size
    for w, h in SIZES:
        if w <= width and h <= height and (w, h) != (width, height):
            left, top = (width - w) // 2, (height - h) // 2
            yield photo.crop((left, top, left + w, top + h))
    yield photo


def labels_of(program, photo, min_size, scratch):
    png, npy = os.path.join(scratch, "crop.png"), os.path.join(scratch, "labels.npy")
    photo.save(png)
    subprocess.run([program, "-i", png, "-o", npy, "--min-size", str(min_size)], check=True,
                   capture_output=True)
    return np.load(npy)


def row(program, name, photo, scratch):
    pixels = photo.width * photo.height
    cells = []
    for min_size in MIN_SIZES:
        sizes = np.bincount(labels_of(program, photo, min_size, scratch).ravel())[1:]
        cells.append(len(sizes))
        if min_size == 5:
            specks, largest = np.mean(sizes < SPECK), sizes.max()
    cap = pixels // 500 + 20
    return (f"| {name} | {photo.width} x {photo.height} | {cells[0]} | {specks:.0%} | "
            f"{cells[1]} | {cells[2]} | {largest} / {cap} |")


def main(program, paths):
    print("| photo | size | count | under 50 px | --min-size 20 | --min-size 50 "
          "| largest / cap |")
    print("|---|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as scratch:
        for path in paths:
            # A wallpaper's folder names it: Path/contents/images/2560x1600.jpg.
            parts = os.path.normpath(path).split(os.sep)
            name = parts[-4] if len(parts) >= 4 and parts[-3] == "contents" else parts[-1]
            for photo in crops(path):
                print(row(program, name, photo, scratch), flush=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
