"""segmora.boundaries and segmora.mean_picture give the pixels of the program's pictures
for the same photo, labels and options."""

import os
import subprocess

import numpy as np
import pytest

import segmora
from conftest import PROGRAM, SAMPLES

Image = pytest.importorskip("PIL.Image")

STYLES = [
    ({}, []),
    ({"colour": (255, 40, 0), "region_colour": (0, 0, 250), "mode": "thick"},
     ["--boundary-colour", "255,40,0", "--region-colour", "0,0,250", "--boundary-mode", "thick"]),
]


def program_pictures(tmp_path, options, regions=None):
    """The labels, -v picture and mean picture of Segmora on chelsea.png."""
    args = [PROGRAM, "-i", os.path.join(SAMPLES, "chelsea.png"), "-o", str(tmp_path / "l.npy"),
            "-v", str(tmp_path / "v.png"), "--mean-picture", str(tmp_path / "m.png"), *options]
    if regions is not None:
        np.save(tmp_path / "r.npy", regions)
        args += ["-r", str(tmp_path / "r.npy")]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    read = lambda name: np.asarray(Image.open(tmp_path / name).convert("RGB"))
    return np.load(tmp_path / "l.npy"), read("v.png"), read("m.png")


@pytest.mark.parametrize("style, options", STYLES)
def test_pictures_equal_the_programs(tmp_path, style, options):
    photo = Image.open(os.path.join(SAMPLES, "chelsea.png"))
    regions = np.zeros((photo.height, photo.width), np.int32)
    regions[:, photo.width // 3:] = 7
    regions[photo.height // 2:, :] += 1
    for given in (None, regions):
        labels, lines, means = program_pictures(tmp_path, options, given)
        got = segmora.boundaries(photo, labels, given, **style)
        assert got.dtype == np.uint8 and got.shape == lines.shape
        np.testing.assert_array_equal(got, lines)
        np.testing.assert_array_equal(segmora.mean_picture(labels, photo), means)
        # The labels' kind does not matter, only which pixels share one.
        np.testing.assert_array_equal(
            segmora.boundaries(np.asarray(photo), labels.astype(np.uint16) * 3, given, **style),
            lines)


def test_bad_styles_are_refused():
    rgb = np.zeros((4, 5, 3), np.uint8)
    labels = np.ones((4, 5), np.int32)
    with pytest.raises(ValueError, match="mode"):
        segmora.boundaries(rgb, labels, mode="inner")
    with pytest.raises(ValueError, match="colour"):
        segmora.boundaries(rgb, labels, colour=(0, 256, 0))
    with pytest.raises(ValueError, match="region_colour"):
        segmora.boundaries(rgb, labels, region_colour=(1, 2))
    with pytest.raises(TypeError, match="colour"):
        segmora.boundaries(rgb, labels, colour=(0.5, 0, 0))
    with pytest.raises(ValueError):
        segmora.boundaries(rgb, labels[:3])
    with pytest.raises(ValueError):
        segmora.boundaries(rgb, labels, labels[:, :4])
    # A 1 x 1 photo and an empty one draw nothing.
    np.testing.assert_array_equal(segmora.boundaries(rgb[:1, :1], labels[:1, :1]), rgb[:1, :1])
