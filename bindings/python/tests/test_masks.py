"""Masks in Python: the program's labels for the same mask, whatever kind of array holds it."""

import os
import subprocess

import numpy as np
import pytest

import segmora
from conftest import PROGRAM, SAMPLES, block_regions, write_png


def mask_of(height, width):
    """A disc with a hole, a line one pixel thin, a diagonal and a few lone pixels."""
    y, x = np.mgrid[0:height, 0:width]
    r2 = (y - height / 2) ** 2 + (x - width / 2) ** 2
    mask = (r2 < (height / 3) ** 2) & (r2 > (height / 10) ** 2)
    mask[5, :] = True
    mask[np.arange(min(height, width)), np.arange(min(height, width))] = True
    mask[::17, width - 3] = True
    return mask


def program_labels(tmp_path, name, mask_file, regions=None):
    out = tmp_path / "labels.npy"
    command = [PROGRAM, "-i", os.path.join(SAMPLES, name + ".png"), "-m", str(mask_file),
               "-o", str(out)]
    if regions is not None:
        np.save(tmp_path / "regions.npy", regions.astype(np.int32))
        command += ["-r", str(tmp_path / "regions.npy")]
    run = subprocess.run(command, check=True, capture_output=True, text=True)
    return np.load(out), int(run.stdout.split("Super-pixel num:")[1].split()[0])


@pytest.mark.parametrize("name", ["chelsea", "coffee"])
def test_labels_are_the_programs_for_either_mask_rule(photos, tmp_path, name):
    rgb = photos[name]
    mask = mask_of(*rgb.shape[:2])
    labels, count = segmora.segment(rgb, mask=mask)
    assert count > 0 and labels.max() == count
    assert np.array_equal(labels == 0, ~mask)
    np.save(tmp_path / "mask.npy", mask)
    expected, printed = program_labels(tmp_path, name, tmp_path / "mask.npy")
    np.testing.assert_array_equal(labels, expected)
    assert printed == count
    write_png(tmp_path / "mask.png", np.where(mask, 255, 0).astype(np.uint8))  # picture rule
    np.testing.assert_array_equal(program_labels(tmp_path, name, tmp_path / "mask.png")[0], labels)


def test_masks_with_regions_are_the_programs(photos, tmp_path):
    rgb = photos["chelsea"]
    mask = mask_of(*rgb.shape[:2])
    regions = block_regions(*rgb.shape[:2])
    labels, count = segmora.segment(rgb, regions, mask=mask)
    np.save(tmp_path / "mask.npy", mask.astype(np.uint8))
    expected, printed = program_labels(tmp_path, "chelsea", tmp_path / "mask.npy", regions)
    np.testing.assert_array_equal(labels, expected)
    assert printed == count


def test_every_kind_of_mask_array_gives_the_same_labels(photos):
    rgb = photos["coffee"][:150, :200]
    mask = mask_of(150, 200)
    expected, count = segmora.segment(rgb, mask=mask)
    worker = segmora.Segmenter(threads=2)
    out = np.empty((150, 200), np.int32)
    for kind in [np.uint8, np.int64, np.float32, np.float64, np.dtype(">i2")]:
        for layout in [np.ascontiguousarray, np.asfortranarray]:
            held = layout(mask.astype(kind))
            labels, again = segmora.segment(rgb, mask=held)
            assert again == count
            np.testing.assert_array_equal(labels, expected)
            labels, again = worker.segment(rgb, mask=held, out=out)
            assert labels is out and again == count
            np.testing.assert_array_equal(out, expected)
    np.testing.assert_array_equal(worker.segment(rgb)[0], segmora.segment(rgb)[0])


def test_full_and_empty_masks(photos):
    rgb = photos["chelsea"]
    plain, count = segmora.segment(rgb)
    full, again = segmora.segment(rgb, mask=np.ones(rgb.shape[:2], bool))
    np.testing.assert_array_equal(full, plain)
    assert again == count
    labels, none = segmora.segment(rgb, mask=np.zeros(rgb.shape[:2], np.uint8))
    assert none == 0 and not labels.any()


@pytest.mark.parametrize("mask, error, words", [
    (np.ones((10, 10), bool), ValueError, "mask must have shape (20, 30) like rgb, not (10, 10)"),
    (np.ones((20, 30, 3), bool), ValueError, "mask must have shape (20, 30)"),
    (np.full((20, 30), 2), ValueError, "mask[0, 0] = 2 is not 0 or 1"),
    (np.full((20, 30), 0.5), ValueError, "mask[0, 0] = 0.5"),
    (np.full((20, 30), "a"), TypeError, "mask must hold integers"),
])
def test_bad_masks_are_refused(mask, error, words):
    rgb = np.zeros((20, 30, 3), np.uint8)
    with pytest.raises(error) as raised:
        segmora.segment(rgb, mask=mask)
    assert words in str(raised.value)
