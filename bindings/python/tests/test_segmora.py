"""Tests of the segmora Python module against the Segmora program.

The environment names the built program (SEGMORA_PROGRAM), the photo decoder
(SEGMORA_PHOTO_PIXELS), the sample folder (SEGMORA_SAMPLES) and the version.
"""

import os
import resource
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import segmora

PROGRAM = os.environ["SEGMORA_PROGRAM"]
SAMPLES = os.environ["SEGMORA_SAMPLES"]
PHOTOS = ["astronaut", "chelsea", "coffee"]


def read_ppm(path):
    with open(path, "rb") as f:
        magic, width, height, maxval = f.readline(), *f.readline().split(), f.readline()
        assert magic == b"P6\n" and maxval == b"255\n"
        data = np.frombuffer(f.read(), dtype=np.uint8)
    return data.reshape(int(height), int(width), 3)


@pytest.fixture(scope="module")
def photos(tmp_path_factory):
    """Each sample photo's pixels, decoded as the program decodes them."""
    folder = tmp_path_factory.mktemp("photos")
    pixels = {}
    for name in PHOTOS:
        ppm = folder / (name + ".ppm")
        subprocess.run([os.environ["SEGMORA_PHOTO_PIXELS"],
                        os.path.join(SAMPLES, name + ".png"), str(ppm)], check=True)
        pixels[name] = read_ppm(ppm)
    return pixels


def block_regions(height, width):
    """Blocks of region ids, some negative, with both ends of the int32 range."""
    y, x = np.mgrid[0:height, 0:width]
    regions = (y // 37) * 11 - (x // 53) * 3
    regions[:20, :30] = np.iinfo(np.int32).min
    regions[-10:, :] = np.iinfo(np.int32).max
    return regions.astype(np.int64)


def program_labels(tmp_path, name, regions=None):
    """The program's labels and printed count for a sample photo."""
    command = [PROGRAM, "-i", os.path.join(SAMPLES, name + ".png"),
               "-o", str(tmp_path / "labels.csv")]
    if regions is not None:
        np.savetxt(tmp_path / "regions.txt", regions, fmt="%d")
        command += ["-r", str(tmp_path / "regions.txt")]
    run = subprocess.run(command, check=True, capture_output=True, text=True)
    count = int(run.stdout.split("Super-pixel num:")[1].split()[0])
    labels = np.loadtxt(tmp_path / "labels.csv", delimiter=",", dtype=np.int32, ndmin=2)
    return labels, count


@pytest.mark.parametrize("name", PHOTOS)
@pytest.mark.parametrize("with_regions", [False, True])
def test_labels_equal_the_programs(photos, tmp_path, name, with_regions):
    rgb = photos[name]
    regions = block_regions(*rgb.shape[:2]) if with_regions else None
    expected, expected_count = program_labels(tmp_path, name, regions)
    labels, count = segmora.segment(rgb, regions)
    assert labels.dtype == np.int32 and labels.shape == rgb.shape[:2]
    assert count == expected_count and labels.max() == count
    np.testing.assert_array_equal(labels, expected)


def test_any_layout_gives_the_same_labels(photos):
    rgb = photos["coffee"]
    expected, count = segmora.segment(rgb)
    views = [
        np.asfortranarray(rgb),
        np.ascontiguousarray(rgb[::-1])[::-1],              # negative row stride
        np.ascontiguousarray(rgb.transpose(1, 0, 2)).transpose(1, 0, 2),
        np.dstack([rgb, rgb[..., :1]])[..., :3],            # RGBA-like pixels, 4 bytes apart
    ]
    for view in views:
        labels, again = segmora.segment(view)
        assert again == count
        np.testing.assert_array_equal(labels, expected)


def test_every_integer_dtype_gives_the_same_regions(photos):
    rgb = photos["chelsea"][:120, :160]
    regions = (np.arange(120)[:, None] // 30) * 4 + np.arange(160)[None, :] // 40
    expected, count = segmora.segment(rgb, regions.astype(np.int32))
    for dtype in [np.int8, np.uint8, np.int16, np.uint16, np.uint32, np.int64, np.uint64,
                  np.dtype(">i4")]:
        labels, again = segmora.segment(rgb, regions.astype(dtype))
        assert again == count, dtype
        np.testing.assert_array_equal(labels, expected)
    labels, _ = segmora.segment(rgb, np.asfortranarray(regions.astype(np.int32)))
    np.testing.assert_array_equal(labels, expected)
    # Regions decide: a flat photo splits exactly along them.
    flat = np.zeros((4, 5, 3), np.uint8)
    halves = np.repeat([[-7], [9]], [2, 2], axis=0).repeat(5, axis=1)
    labels, count = segmora.segment(flat, halves)
    assert count == 2
    np.testing.assert_array_equal(labels, (halves > 0) + 1)


def test_threads_side_by_side_give_the_same_labels(photos):
    alone = {name: segmora.segment(photos[name]) for name in ("astronaut", "coffee")}
    results = {}

    def work(name):
        for round_ in range(3):
            results[name, round_] = segmora.segment(photos[name])

    threads = [threading.Thread(target=work, args=(name,)) for name in alone]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for (name, _), (labels, count) in results.items():
        assert count == alone[name][1]
        np.testing.assert_array_equal(labels, alone[name][0])


def test_a_segmenter_gives_the_same_labels_call_after_call(photos):
    worker = segmora.Segmenter()
    small = photos["chelsea"][:100, :150]
    regions = np.arange(100 * 150, dtype=np.int32).reshape(100, 150) // 2000
    expected = {name: segmora.segment(photos[name]) for name in PHOTOS}
    for name in PHOTOS + ["small", "coffee", "release", "small"]:
        if name == "release":
            worker.release()
        elif name == "small":
            for ids in (regions, regions.astype(np.int64)):  # a view, then a copy
                labels, count = worker.segment(small, ids)
                np.testing.assert_array_equal(labels, segmora.segment(small, ids)[0])
        else:
            labels, count = worker.segment(photos[name])
            assert count == expected[name][1]
            np.testing.assert_array_equal(labels, expected[name][0])
    with pytest.raises(ValueError, match="rgb must have shape"):
        worker.segment(small[..., 0])
    # Threads sharing one Segmenter take turns and still get their own photo's labels.
    results = []
    threads = [threading.Thread(target=lambda n=name: results.append(
        (n, worker.segment(photos[n])))) for name in PHOTOS * 2]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert len(results) == 6
    for name, (labels, count) in results:
        np.testing.assert_array_equal(labels, expected[name][0])


def test_other_threads_run_while_the_engine_works(photos):
    """Python code runs during the middle half of a call, so the GIL was released."""
    rgb = np.tile(photos["astronaut"], (3, 3, 1))  # long enough to span many switches
    ticks, stop = [], threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.001)

    ticker = threading.Thread(target=tick)
    ticker.start()
    try:
        start = time.perf_counter()
        segmora.segment(rgb)
        end = time.perf_counter()
    finally:
        stop.set()
        ticker.join()
    quarter = (end - start) / 4
    assert any(start + quarter < t < end - quarter for t in ticks)


def test_running_out_of_memory_raises_memory_error():
    """With 500 MB of address space a 16-MP photo fails cleanly; small ones still work."""
    code = """
import numpy as np, segmora
try:
    segmora.segment(np.zeros((4000, 4000, 3), np.uint8))
except MemoryError:
    print(segmora.segment(np.zeros((4, 5, 3), np.uint8))[1])
"""
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (500_000_000, 500_000_000))
    run = subprocess.run([sys.executable, "-c", code], preexec_fn=limit,
                         capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (0, "1\n"), run.stderr


def test_labels_are_owned_and_writable():
    labels, count = segmora.segment(np.full((3, 4, 3), 9, np.uint8))
    assert count == 1 and labels.flags.c_contiguous and labels.flags.writeable
    labels[0, 0] = 5  # the buffer belongs to the array alone
    np.testing.assert_array_equal(segmora.segment(np.full((3, 4, 3), 9, np.uint8))[0], 1)


RGB = np.zeros((4, 5, 3), np.uint8)


@pytest.mark.parametrize("args, error, words", [
    (([[1, 2, 3]],), TypeError, "rgb must be a numpy array"),
    ((RGB.astype(np.float64),), TypeError, "rgb must be a uint8"),
    ((RGB.astype(np.int8),), TypeError, "rgb must be a uint8"),
    ((np.zeros((4, 5, 3), "V0"),), TypeError, "rgb must hold numbers"),
    ((RGB, np.zeros((4, 5), "V0")), TypeError, "regions must hold numbers"),
    ((RGB, np.zeros((4, 5), "U3")), TypeError, "regions must be an integer array"),
    ((RGB[..., 0],), ValueError, "rgb must have shape (H, W, 3)"),
    ((np.zeros((4, 5, 4), np.uint8),), ValueError, "rgb must have shape"),
    ((np.zeros((4, 5, 3, 1), np.uint8),), ValueError, "rgb must have shape"),
    ((np.zeros((0, 5, 3), np.uint8),), ValueError, "rgb must not be empty"),
    ((RGB, np.zeros((4, 5), np.float64)), TypeError, "regions must be an integer array"),
    ((RGB, np.zeros((4, 5), bool)), TypeError, "regions must be an integer array"),
    ((RGB, [[0] * 5] * 4), TypeError, "regions must be a numpy array"),
    ((RGB, np.zeros((5, 4), np.int32)), ValueError, "regions must have shape (4, 5)"),
    ((RGB, np.zeros((4, 5, 1), np.int32)), ValueError, "regions must have shape (4, 5)"),
    ((RGB, np.full((4, 5), 2**31, np.int64)), ValueError, "regions[0, 0] = 2147483648"),
    ((RGB, np.full((4, 5), -2**31 - 1, np.int64)), ValueError, "int32 range"),
    ((RGB, np.full((4, 5), 2**31, np.uint32)), ValueError, "int32 range"),
    ((RGB, np.where(np.eye(4, 5) > 0, 2**63, 0).astype(np.uint64)), ValueError,
     "regions[0, 0]"),
])
def test_malformed_calls_raise_errors_naming_the_argument(args, error, words):
    with pytest.raises(error) as raised:
        segmora.segment(*args)
    assert words in str(raised.value)
    assert segmora.segment(RGB)[1] == 1  # still working


def test_module_describes_itself():
    assert segmora.__version__ == os.environ["SEGMORA_VERSION"]
    assert "segmora.segment(rgb, regions)" in segmora.__doc__
    assert "GIL is released" in segmora.segment.__doc__
    assert "release()" in segmora.Segmenter.__doc__
