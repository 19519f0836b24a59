"""What the segmora tests share: the sample photos decoded as the program decodes them,
the fixed answers of tests/golden, the program and the reference path run on a file, and a
small PNG writer for the image kinds the program reads.

The environment names the built program (SEGMORA_PROGRAM), the photo decoder
(SEGMORA_PHOTO_PIXELS), the reference path's labels (SEGMORA_REFERENCE_LABELS), the source
folder (SEGMORA_SOURCE), the sample folder (SEGMORA_SAMPLES) and the version.
"""

import hashlib
import os
import struct
import subprocess
import zlib

import numpy as np
import pytest

PROGRAM = os.environ["SEGMORA_PROGRAM"]
SAMPLES = os.environ["SEGMORA_SAMPLES"]
GOLDEN = os.path.join(os.environ["SEGMORA_SOURCE"], "tests", "golden")
SAMPLE_NAMES = sorted(f[:-4] for f in os.listdir(SAMPLES) if f.endswith(".png"))


def read_ppm(path):
    with open(path, "rb") as f:
        magic, width, height, maxval = f.readline(), *f.readline().split(), f.readline()
        assert magic == b"P6\n" and maxval == b"255\n"
        data = np.frombuffer(f.read(), dtype=np.uint8)
    return data.reshape(int(height), int(width), 3)


def decode(path, scratch):
    """The pixels of an image file as the program decodes them (RGB, uint8)."""
    ppm = os.path.join(scratch, "decoded.ppm")
    subprocess.run([os.environ["SEGMORA_PHOTO_PIXELS"], str(path), ppm], check=True)
    return read_ppm(ppm)


@pytest.fixture(scope="session")
def photos(tmp_path_factory):
    """Each sample photo's pixels, decoded as the program decodes them."""
    folder = tmp_path_factory.mktemp("photos")
    return {name: decode(os.path.join(SAMPLES, name + ".png"), folder)
            for name in SAMPLE_NAMES}


def label_text(labels):
    """The label file's text: ", " between labels, a newline after each row, then one more."""
    return "".join(", ".join(map(str, row)) + "\n" for row in labels.tolist()) + "\n"


def golden(name, kind):
    """The fixed SHA-256 of the label file and the count for NAME.KIND (plain or regions)."""
    with open(os.path.join(GOLDEN, "SHA256SUMS")) as f:
        sums = dict(line.split()[::-1] for line in f)
    with open(os.path.join(GOLDEN, "counts")) as f:
        counts = dict(line.split() for line in f)
    return sums[f"{name}.{kind}.csv"], int(counts[f"{name}.{kind}"])


def golden_labels(name, kind):
    """The fixed label map of NAME.KIND: golden/labels/NAME.KIND.png, a 16-bit grey PNG of
    unfiltered rows as tests/golden/write-label-map writes it."""
    with open(os.path.join(GOLDEN, "labels", f"{name}.{kind}.png"), "rb") as f:
        png = f.read()
    at, data, header = 8, b"", None
    while at < len(png):
        length, kind_ = struct.unpack(">I4s", png[at:at + 8])
        body = png[at + 8:at + 8 + length]
        if kind_ == b"IHDR":
            header = struct.unpack(">IIBB", body[:10])
        elif kind_ == b"IDAT":
            data += body
        at += 12 + length
    width, height, depth, colour = header
    assert (depth, colour) == (16, 0), "not a 16-bit grey PNG"
    rows = np.frombuffer(zlib.decompress(data), dtype=np.uint8).reshape(height, 1 + 2 * width)
    assert not rows[:, 0].any(), "filtered rows: write the map with write-label-map"
    return rows[:, 1:].copy().view(">u2").astype(np.int32)


def label_difference(labels, expected):
    """Where labels differ from the expected ones: '' when they are equal, else the count of
    differing pixels, the first of them (row, column from 0) and both labels."""
    if labels.shape != expected.shape:
        return f"labels of shape {labels.shape}, not {expected.shape}"
    differing = np.argwhere(labels != expected)
    if len(differing) == 0:
        return ""
    row, column = differing[0]
    return (f"{len(differing)} of {labels.size} labels differ; the first at row {row}, column "
            f"{column} (from 0): {labels[row, column]}, not {expected[row, column]}")


def golden_regions(name):
    return np.loadtxt(os.path.join(GOLDEN, "regions", name + ".txt"), dtype=np.int64, ndmin=2)


def label_digest(labels):
    return hashlib.sha256(label_text(labels).encode()).hexdigest()


def program_labels(photo, scratch):
    """The program's labels and printed count for an image file."""
    csv = os.path.join(scratch, "labels.csv")
    run = subprocess.run([PROGRAM, "-i", str(photo), "-o", csv], check=True,
                         capture_output=True, text=True)
    count = int(run.stdout.split("Super-pixel num:")[1].split()[0])
    return np.loadtxt(csv, delimiter=",", dtype=np.int32, ndmin=2), count


def reference_labels(photo, scratch, threshold=500, sigma=0, cap_divisor=0, min_size=5,
                     regions=None):
    """The reference path's labels and count for an image file and knobs."""
    command = [os.environ["SEGMORA_REFERENCE_LABELS"], str(photo), repr(float(threshold)),
               repr(float(sigma)), str(cap_divisor), str(min_size)]
    if regions is not None:
        path = os.path.join(scratch, "regions.txt")
        np.savetxt(path, regions, fmt="%d")
        command.append(path)
    lines = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    rows, count = lines.rstrip("\n").rsplit("\n", 1)
    labels = np.array([[int(v) for v in row.split(", ")] for row in rows.split("\n")],
                      dtype=np.int32)
    return labels, int(count.split()[1])


def write_png(path, pixels):
    """A PNG of (H, W) or (H, W, C) uint8 or uint16 pixels: grey, grey + alpha, RGB, RGBA."""
    pixels = np.asarray(pixels)
    if pixels.ndim == 2:
        pixels = pixels[..., None]
    height, width, channels = pixels.shape
    depth = 16 if pixels.dtype == np.uint16 else 8
    colour = {1: 0, 2: 4, 3: 2, 4: 6}[channels]
    rows = pixels.astype(">u2" if depth == 16 else np.uint8).reshape(height, -1).view(np.uint8)
    data = b"".join(b"\0" + row.tobytes() for row in rows)

    def chunk(kind, body):
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)

    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(data))
                + chunk(b"IEND", b""))


def block_regions(height, width):
    """Blocks of region ids, some negative, with both ends of the int32 range."""
    y, x = np.mgrid[0:height, 0:width]
    regions = (y // 37) * 11 - (x // 53) * 3
    regions[:20, :30] = np.iinfo(np.int32).min
    regions[-10:, :] = np.iinfo(np.int32).max
    return regions.astype(np.int64)
