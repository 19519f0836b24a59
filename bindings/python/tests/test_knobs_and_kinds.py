"""The knobs give the reference path's labels; every image kind the program reads gives the
program's labels for the same file; bad knobs are refused in short messages."""

import os

import numpy as np
import pytest

import segmora
from conftest import (SAMPLES, block_regions, golden, label_digest, program_labels,
                      reference_labels, write_png)

CHELSEA = os.path.join(SAMPLES, "chelsea.png")


@pytest.mark.parametrize("knobs, regions", [
    (dict(threshold=120), None),
    (dict(threshold=0), None),
    (dict(sigma=0.8), None),
    (dict(cap_divisor=40), "blocks"),
    (dict(min_size=30), None),
    (dict(min_size=0), None),
    (dict(threshold=2000.0, sigma=0.5, cap_divisor=None, min_size=1), "blocks"),
    (dict(threshold=np.float32(300), cap_divisor=1000.0, min_size=np.int64(10)), None),
])
def test_each_knob_gives_the_reference_labels(photos, tmp_path, knobs, regions):
    rgb = photos["chelsea"]
    ids = block_regions(*rgb.shape[:2]) if regions else None
    expected, count = reference_labels(
        CHELSEA, tmp_path, knobs.get("threshold", 500), knobs.get("sigma", 0),
        int(knobs.get("cap_divisor") or 0), int(knobs.get("min_size", 5)), ids)
    for worker in (segmora, segmora.Segmenter(threads=2)):
        labels, again = worker.segment(rgb, ids, **knobs)
        assert again == count
        np.testing.assert_array_equal(labels, expected)


def test_the_defaults_spelt_out_give_the_fixed_answer(photos):
    labels, count = segmora.segment(photos["coffee"], threshold=500, sigma=0, cap_divisor=500,
                                    min_size=5)
    assert (label_digest(labels), count) == golden("coffee", "plain")


def image_kinds(rgb):
    """(name, pixels written to a PNG, arrays that must give the program's labels for it)."""
    rng = np.random.default_rng(7)
    grey = (rgb @ np.array([0.299, 0.587, 0.114])).round().astype(np.uint8)
    low = rng.integers(0, 256, rgb.shape, dtype=np.uint16)
    rgb16 = rgb.astype(np.uint16) * 256 + low
    alpha = rng.integers(0, 256, rgb.shape[:2], dtype=np.uint8)[..., None]
    alpha16 = rng.integers(0, 65536, rgb.shape[:2], dtype=np.uint16)[..., None]
    grey16 = rgb16[..., 1]
    flags = grey > 110
    return [
        ("grey", grey, [grey, grey[..., None], np.asfortranarray(grey)]),
        ("grey16", grey16, [grey16, grey16[..., None]]),
        ("grey-alpha", np.dstack([grey, alpha]), [np.dstack([grey, alpha])]),
        ("rgb16", rgb16, [rgb16, rgb16[::-1][::-1]]),
        ("rgba", np.dstack([rgb, alpha]), [np.dstack([rgb, alpha])]),
        ("rgba16", np.dstack([rgb16, alpha16]), [np.dstack([rgb16, alpha16])]),
        ("bool", flags.astype(np.uint8) * 255, [flags, flags[..., None]]),
        ("rgb", rgb, [rgb / 255.0, (rgb / np.float32(255)).astype(np.float32),
                      rgb.astype(np.uint16) * 257]),
    ]


def test_every_image_kind_gives_the_programs_labels_for_the_same_file(photos, tmp_path):
    rgb = photos["chelsea"]
    for name, pixels, arrays in image_kinds(rgb):
        path = tmp_path / (name + ".png")
        write_png(path, pixels)
        expected, count = program_labels(path, tmp_path)
        for array in arrays:
            labels, again = segmora.segment(array)
            assert again == count, (name, array.dtype, array.shape)
            np.testing.assert_array_equal(labels, expected, err_msg=name)


def test_pil_images_give_the_programs_labels(photos, tmp_path):
    Image = pytest.importorskip("PIL.Image")
    rgb = photos["astronaut"]
    image = Image.fromarray(rgb)
    alpha = Image.fromarray((np.arange(rgb.shape[0] * rgb.shape[1]) % 251).astype(np.uint8)
                            .reshape(rgb.shape[:2]))
    rgba = image.copy()
    rgba.putalpha(alpha)
    for mode, picture in [("RGB", image), ("L", image.convert("L")), ("RGBA", rgba),
                          ("LA", image.convert("LA")), ("P", image.convert("P")),
                          ("1", image.convert("1"))]:
        path = tmp_path / f"{mode}.png"
        picture.save(path)
        expected, count = program_labels(path, tmp_path)
        with Image.open(path) as opened:
            assert opened.mode == mode
            labels, again = segmora.segment(opened)
        assert again == count, mode
        np.testing.assert_array_equal(labels, expected, err_msg=mode)


BIG = np.zeros((300, 400, 3), np.uint8)


@pytest.mark.parametrize("call, error, words", [
    (lambda: segmora.segment(BIG, scale=100), TypeError, "unexpected keyword argument 'scale'"),
    (lambda: segmora.Segmenter().segment(BIG, k=1), TypeError, "argument 'k'"),
    (lambda: segmora.segment(BIG, None, 300), TypeError, "positional"),
    (lambda: segmora.segment(BIG, threshold="300"), TypeError,
     "threshold must be a real number, not str"),
    (lambda: segmora.segment(BIG, threshold=None), TypeError, "not NoneType"),
    (lambda: segmora.segment(BIG, min_size=True), TypeError, "min_size must be a real number, not bool"),
    (lambda: segmora.segment(BIG, sigma=[1]), TypeError, "sigma must be a real number, not list"),
    (lambda: segmora.segment(BIG, threshold=-1), ValueError,
     "threshold must be a finite number of at least 0, not -1"),
    (lambda: segmora.segment(BIG, threshold=float("nan")), ValueError, "not nan"),
    (lambda: segmora.segment(BIG, threshold=10**400), ValueError, "not inf"),
    (lambda: segmora.segment(BIG, sigma=100.5), ValueError,
     "sigma must be a number from 0 to 100, not 100.5"),
    (lambda: segmora.segment(BIG, cap_divisor=0), ValueError,
     "cap_divisor must be a whole number of at least 1, not 0"),
    (lambda: segmora.segment(BIG, cap_divisor=2.5), ValueError, "not 2.5"),
    (lambda: segmora.segment(BIG, cap_divisor=2**31), ValueError, "not 2147483648"),
    (lambda: segmora.segment(BIG, min_size=-1), ValueError,
     "min_size must be a whole number of at least 0, not -1"),
    (lambda: segmora.Segmenter(threads=65), ValueError,
     "threads must be a whole number from 0 to 64, not 65"),
    (lambda: segmora.Segmenter(threads="2"), TypeError, "threads must be a real number, not str"),
    (lambda: segmora.Segmenter(2, 3), TypeError, "positional"),
])
def test_bad_knobs_are_refused_in_a_short_message_naming_them(call, error, words):
    with pytest.raises(error) as raised:
        call()
    message = str(raised.value)
    assert words in message
    assert len(message) < 120 and "array" not in message and "\n" not in message
