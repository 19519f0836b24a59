"""Tests of the segmora Python module: the fixed answers, layouts, threads, memory and
malformed calls."""

import ast
import inspect
import os
import resource
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import segmora
from conftest import (SAMPLE_NAMES, golden, golden_labels, golden_regions, label_difference,
                      label_digest)

PHOTOS = ["astronaut", "chelsea", "coffee"]


@pytest.mark.parametrize("name", SAMPLE_NAMES)
@pytest.mark.parametrize("kind", ["plain", "regions"])
def test_labels_match_the_fixed_answers(photos, name, kind):
    rgb = photos[name]
    regions = golden_regions(name) if kind == "regions" else None
    digest, expected_count = golden(name, kind)
    labels, count = segmora.segment(rgb, regions)
    assert labels.dtype == np.int32 and labels.shape == rgb.shape[:2]
    difference = label_difference(labels, golden_labels(name, kind))
    assert not difference, f"{name}.{kind}: {difference}"
    assert count == expected_count and labels.max() == count
    assert label_digest(labels) == digest


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
                  np.dtype(">i4"), np.float32, np.float64, np.dtype(">f8")]:
        labels, again = segmora.segment(rgb, regions.astype(dtype))
        assert again == count, dtype
        np.testing.assert_array_equal(labels, expected)
    labels, _ = segmora.segment(rgb, np.asfortranarray(regions.astype(np.int32)))
    np.testing.assert_array_equal(labels, expected)
    labels, _ = segmora.segment(rgb, regions.tolist())  # anything numpy.asarray takes
    np.testing.assert_array_equal(labels, expected)
    odd = (regions % 2).astype(np.int8)
    np.testing.assert_array_equal(segmora.segment(rgb, odd.astype(bool))[0],
                                  segmora.segment(rgb, odd)[0])
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
        worker.segment(small[..., :1].repeat(5, axis=2))
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


def test_labels_go_into_the_callers_array(photos):
    """out= is filled and returned, call after call and with regions; a Segmenter then
    writes nothing else, and what it writes are the labels segment() returns."""
    worker = segmora.Segmenter()
    rgb = photos["coffee"]
    regions = np.arange(rgb.shape[0] * rgb.shape[1]).reshape(rgb.shape[:2]) // 5000
    out = np.full(rgb.shape[:2], -7, np.int32)
    for call in (worker.segment, segmora.segment):
        for ids in (None, regions, None):
            expected, count = segmora.segment(rgb, ids)
            labels, got = call(rgb, ids, out=out)
            assert labels is out and got == count
            np.testing.assert_array_equal(out, expected)
    tagged = np.zeros(rgb.shape[:2], np.dtype(np.int32, metadata={"unit": "label"}))
    assert worker.segment(rgb, out=tagged)[0] is tagged
    np.testing.assert_array_equal(tagged, segmora.segment(rgb)[0])
    base = np.zeros((rgb.shape[0], rgb.shape[1] + 3), np.int32)
    for bad, error, words in [
        ([[0]], TypeError, "out must be a numpy.ndarray of int32, not list"),
        (out.astype(np.int64), TypeError, "out must have dtype int32, not int64"),
        (out.astype(">i4"), TypeError, "out must have dtype int32, not >i4"),
        (out[:-1], ValueError, "out must have rgb's height and width"),
        (out.T.copy(), ValueError, "out must have rgb's height and width"),
        (base[:, 3:], ValueError, "out must be C-contiguous"),
        (np.asfortranarray(out), ValueError, "out must be C-contiguous"),
        (np.broadcast_to(out, out.shape), ValueError, "out must be writeable"),
    ]:
        before = out.copy()
        with pytest.raises(error, match=words.replace("(", r"\(")):
            worker.segment(rgb, out=bad)
        np.testing.assert_array_equal(out, before)
    assert not base.any()


RGB = np.zeros((4, 5, 3), np.uint8)


@pytest.mark.parametrize("args, error, words", [
    ((np.zeros((4, 5, 3), np.int64),), TypeError,
     "rgb must be uint8, uint16, bool, float32 or float64, not int64"),
    (([[1, 2, 3]],), TypeError, "not int64"),
    ((RGB.astype(np.int8),), TypeError, "not int8"),
    ((RGB.astype(np.float16),), TypeError, "not float16"),
    ((np.zeros((4, 5, 3), "V0"),), TypeError, "rgb must be uint8"),
    ((RGB, np.zeros((4, 5), "V0")), TypeError, "regions must hold integers"),
    ((RGB, np.zeros((4, 5), "U3")), TypeError,
     "regions must hold integers, bool or whole float32/float64 numbers, not <U3"),
    ((RGB, np.zeros((4, 5), np.complex64)), TypeError, "not complex64"),
    ((np.zeros((4, 5, 5), np.uint8),), ValueError,
     "rgb must have shape (H, W) or (H, W, C) with C from 1 to 4, not (4, 5, 5)"),
    ((np.zeros((4, 5, 3, 1), np.uint8),), ValueError, "rgb must have shape"),
    ((np.zeros(5, np.uint8),), ValueError, "not (5,)"),
    ((np.zeros((0, 5, 3), np.uint8),), ValueError, "rgb must not be empty, its shape is (0, 5, 3)"),
    ((np.zeros((4, 0), np.uint8),), ValueError, "rgb must not be empty"),
    ((np.full((4, 5, 3), 1.5),), ValueError, "rgb[0, 0, 0] = 1.5 is outside 0..1"),
    ((np.full((4, 5), -0.25, np.float32),), ValueError, "rgb[0, 0] = -0.25 is outside 0..1"),
    ((np.full((4, 5, 3), np.nan),), ValueError, "= nan is outside 0..1"),
    ((RGB, np.zeros((5, 4), np.int32)), ValueError, "regions must have shape (4, 5) like rgb, not (5, 4)"),
    ((RGB, np.zeros((4, 5, 1), np.int32)), ValueError, "regions must have shape (4, 5)"),
    ((RGB, np.full((4, 5), 2**31, np.int64)), ValueError,
     "regions[0, 0] = 2147483648 is not a whole number in the int32 range"),
    ((RGB, np.full((4, 5), -2**31 - 1, np.int64)), ValueError, "int32 range"),
    ((RGB, np.full((4, 5), 2**31, np.uint32)), ValueError, "int32 range"),
    ((RGB, np.where(np.eye(4, 5) > 0, 2**63, 0).astype(np.uint64)), ValueError,
     "regions[0, 0] = 9223372036854775808"),
    ((RGB, np.where(np.eye(4, 5) > 0, 0, 0.5)), ValueError, "regions[0, 1] = 0.5"),
    ((RGB, np.full((4, 5), np.inf, np.float32)), ValueError, "regions[0, 0] = inf"),
    ((RGB, np.full((4, 5), 2.0**31)), ValueError, "regions[0, 0] = 2147483648"),
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
    assert "GIL is released" in segmora.Segmenter.segment.__doc__
    assert "release()" in segmora.Segmenter.__doc__
    knobs = ("(rgb, regions=None, *, threshold=500.0, sigma=0.0, cap_divisor=None, min_size=5,"
             " bit_depth=16, mask=None, out=None, count=None)")
    assert str(inspect.signature(segmora.segment)) == knobs
    assert str(inspect.signature(segmora.Segmenter.segment)) == knobs.replace("(", "(self, ")
    assert str(inspect.signature(segmora.Segmenter)) == "(threads=0)"
    # The stub beside the module gives the same signatures with types.
    folder = os.path.dirname(segmora.__file__)
    assert os.path.exists(os.path.join(folder, "py.typed"))
    with open(os.path.join(folder, "__init__.pyi")) as f:
        stub = ast.parse(f.read())
    functions = {node.name: node for node in ast.walk(stub) if isinstance(node, ast.FunctionDef)}
    assert [a.arg for a in functions["segment"].args.kwonlyargs] == [
        "threshold", "sigma", "cap_divisor", "min_size", "bit_depth", "mask", "out",
        "count"]
    assert ast.unparse(functions["segment"].returns) == "_Tuple[_npt.NDArray[_np.int32], int]"
    assert {"segment", "release", "__init__", "threads"} <= set(functions)
    # The stub's defaults (both segment()s) are those the package takes from the library.
    defaults = {name: repr(p.default)
                for name, p in inspect.signature(segmora.segment).parameters.items()
                if p.kind == p.KEYWORD_ONLY}
    stubbed = [node for node in ast.walk(stub)
               if isinstance(node, ast.FunctionDef) and node.name == "segment"]
    assert len(stubbed) == 2
    for node in stubbed:
        args = node.args
        assert {a.arg: repr(ast.literal_eval(d))
                for a, d in zip(args.kwonlyargs, args.kw_defaults)} == defaults
    assert "photo default (500, or 3000 with regions)." in segmora.segment.__doc__
