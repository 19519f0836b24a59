"""segment() on Dask arrays: the labels of numpy input for every chunking, on worker
processes and on threads, flat areas across seams included; the sweep's and the tiled
phases' own entry points; what the Dask path refuses."""

import logging
import pickle
import subprocess
import sys

import numpy as np
import pytest

import segmora
from conftest import block_regions

da = pytest.importorskip("dask.array", reason="Dask is not installed (Debian: python3-dask)")
distributed = pytest.importorskip(
    "distributed", reason="Dask's distributed scheduler is not installed (python3-distributed)")
import dask  # noqa: E402  (after the skip above)

CHUNKINGS = {"regular": (48, 64), "irregular": ((30, 50, 40), (100, 7, 53)),
             "larger than the photo": (1000, 1000), "one row high": (1, 160)}


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=logging.ERROR) as cluster:
        with distributed.Client(cluster, set_as_default=False) as c:
            yield c


@pytest.fixture
def crop(photos):
    return photos["chelsea"][100:220, 150:310]


@pytest.fixture
def flat(crop):
    """The crop with a white glass and a black border: flat areas across many chunk seams."""
    rgb = crop.copy()
    rgb[20:110, 30:150] = 255
    rgb[:, :12] = 0
    rgb[-8:] = 0
    return rgb


def same_as_numpy(rgb, chunks, regions=None, compute=dask.compute, **knobs):
    want, want_count = segmora.segment(rgb, None if regions is None else np.asarray(regions),
                                       **knobs)
    lazy, lazy_count = segmora.segment(da.from_array(rgb, chunks=chunks), regions, **knobs)
    labels, count = compute(lazy, lazy_count)
    assert labels.dtype == lazy.dtype == np.int32 and count == want_count
    np.testing.assert_array_equal(labels, want)
    return lazy


@pytest.mark.parametrize("chunking", CHUNKINGS)
def test_worker_processes_give_the_labels_of_numpy_input(crop, client, chunking):
    rgb = crop[:30] if chunking == "one row high" else crop  # 30 tiles, not 120
    lazy = same_as_numpy(rgb, CHUNKINGS[chunking] + (2,),
                         compute=lambda *a: client.compute(a, sync=True))
    if chunking == "regular":
        assert lazy.chunks == ((48, 48, 24), (64, 64, 32))


def test_regions_kinds_and_knobs_on_threads(photos, crop):
    threads = lambda *a: dask.compute(*a, scheduler="threads")  # noqa: E731
    rgb = photos["coffee"][:150, :170]
    regions = block_regions(*rgb.shape[:2])
    same_as_numpy(rgb, (40, 70, 3), regions, threads)
    same_as_numpy(rgb, (33, 170, 3), da.from_array(regions, chunks=(60, 50)), threads,
                  threshold=200, min_size=20, cap_divisor=40)
    grey16 = crop[..., 0].astype(np.uint16) * 16 + 7
    uniform = np.full((70, 90, 3), 77, np.uint8)  # every edge weighs 0: the size cap decides
    stripes = np.repeat(np.arange(90, dtype=np.uint8)[None, :, None] // 30 * 80, 70, 0)
    for pixels, knobs in ((crop[..., 1], {}), (grey16, {"bit_depth": 12}),
                          (crop / 255.0, {}), (np.dstack([crop, crop[..., :1]]), {}),
                          (uniform, {"cap_divisor": 7}), (stripes, {"min_size": 40}),
                          (crop, {"sigma": 0.8})):
        same_as_numpy(pixels, (50, 60) + pixels.shape[2:], compute=threads, **knobs)
    labels, count = segmora.Segmenter().segment(da.from_array(crop, chunks=(64, 64, 3)))
    np.testing.assert_array_equal(labels.compute(scheduler="threads"), segmora.segment(crop)[0])
    labels, count = segmora.segment(rgb, da.from_array(regions, chunks=(60, 50)))  # numpy rgb
    np.testing.assert_array_equal(labels.compute(scheduler="threads"),
                                  segmora.segment(rgb, regions)[0])


@pytest.mark.parametrize("cap_divisor", [1, 300])  # a cap above the photo, and one of 84
def test_flat_areas_across_seams_on_threads_and_worker_processes(flat, client, cap_divisor):
    threads = lambda *a: dask.compute(*a, scheduler="threads")  # noqa: E731
    on_workers = lambda *a: client.compute(a, sync=True)  # noqa: E731
    same_as_numpy(flat, (25, 30, 3), compute=threads, cap_divisor=cap_divisor)
    same_as_numpy(flat, (40, 70, 3), compute=on_workers, cap_divisor=cap_divisor)
    regions = block_regions(*flat.shape[:2])
    same_as_numpy(flat, (25, 60, 3), regions, on_workers, cap_divisor=cap_divisor, sigma=0.8)


def test_each_phase_runs_once_per_tile(crop, monkeypatch):
    from segmora import _dask_segment
    calls = []
    for name in ("_sweep", "_first", "_join", "_third"):
        real = getattr(_dask_segment, name)
        monkeypatch.setattr(_dask_segment, name,
                            lambda *a, real=real, name=name: calls.append(name) or real(*a))
    read = lambda block: calls.append("read") or block  # noqa: E731
    rgb = da.from_array(crop, chunks=(50, 64, 3)).map_blocks(read, meta=crop[:0, :0])
    dask.compute(*segmora.segment(rgb), scheduler="threads")
    assert sorted(calls) == (["_first"] * 9 + ["_join"] + ["_sweep"] * 3 + ["_third"] * 9 +
                             ["read"] * 18)
    # The sweep reads the chunks row by row, each after the row above; the tiles read them
    # again after it.
    assert calls[:12] == (["read"] * 3 + ["_sweep"]) * 3


def test_label_type_follows_the_largest_possible_count(crop, monkeypatch):
    huge = da.zeros((2 ** 16, 2 ** 16, 3), dtype=np.uint8, chunks=(4096, 4096, 3))
    assert segmora.segment(huge)[0].dtype == np.int32          # at most 2^32 / 5
    assert segmora.segment(huge, min_size=2)[0].dtype == np.int64  # 2^31 does not fit
    one_chunk = da.zeros((2 ** 15, 2 ** 15, 3), dtype=np.uint8, chunks=-1)
    assert segmora.segment(one_chunk)[0].chunks[0] == (2 ** 14, 2 ** 14)  # under 2^29 a tile
    from segmora import _dask_segment
    monkeypatch.setattr(_dask_segment, "_INT32_MAX", 10)
    labels, count = segmora.segment(da.from_array(crop, chunks=(50, 50, 3)))
    assert labels.dtype == np.int64
    np.testing.assert_array_equal(labels.compute(scheduler="threads"), segmora.segment(crop)[0])
    monkeypatch.setattr(_dask_segment, "label_type", lambda *a: np.dtype(np.int32))
    with pytest.raises(ValueError, match="do not fit the int32 labels"):
        segmora.segment(da.from_array(crop, chunks=(50, 50, 3)))[1].compute(scheduler="threads")


def test_bad_input_is_refused_before_or_at_compute(crop):
    rgb = da.from_array(crop, chunks=(50, 50, 3))
    for knobs, error, words in (({"count": 10}, ValueError, "count= is not taken"),
                                ({"mask": np.ones(crop.shape[:2], bool)}, ValueError, "mask="),
                                ({"out": np.empty(crop.shape[:2], np.int32)}, ValueError, "out="),
                                ({"threshold": -1}, ValueError, "threshold"),
                                ({"bit_depth": 7}, ValueError, "bit_depth"),
                                ({"regions": np.zeros((5, 5))}, ValueError, "height and width"),
                                ({"regions": 300}, TypeError, "keywords")):
        with pytest.raises(error, match=words):
            segmora.segment(rgb, **knobs)
    with pytest.raises(ValueError, match=r"\(H, W\) or \(H, W, C\)"):
        segmora.segment(da.zeros((9, 9, 5), dtype=np.uint8))
    with pytest.raises(TypeError, match="not int32"):
        segmora.segment(da.zeros((9, 9, 3), dtype=np.int32))
    with pytest.raises(ValueError, match="compute_chunk_sizes"):
        segmora.segment(rgb[rgb[:, 0, 0] > 100])
    with pytest.raises(ValueError, match="must not be empty"):
        segmora.segment(da.zeros((0, 9, 3), dtype=np.uint8))
    bright = da.from_array(np.full((40, 40, 3), 2.0), chunks=20)  # floats must lie in 0..1
    wide_ids = da.from_array(np.full((120, 160), 2 ** 40), chunks=60)  # ids beyond int32
    for labels, _ in (segmora.segment(bright), segmora.segment(rgb, wide_ids)):
        with pytest.raises(ValueError):
            labels.compute(scheduler="threads")


def test_tile_phases_refuse_what_is_not_theirs(crop):
    image = segmora._segmora.TiledImage(160, 120, 64, 48, 500.0, 0.0, None, 5, False)
    assert pickle.loads(pickle.dumps(image)).tile_rect(8) == image.tile_rect(8) == (128, 96, 32, 24)
    x, y, w, h = image.tile_read_rect(4)
    first = segmora._segmora.segment_tile(image, 4, crop[y:y + h, x:x + w], None)
    for call, error in ((lambda: image.tile_rect(9), ValueError),
                        (lambda: segmora._segmora.segment_tile(image, 4, crop, None), ValueError),
                        (lambda: segmora._segmora.segment_tile(image, 4, crop[y:y + h, x:x + w],
                                                               np.zeros((h, w))), ValueError),
                        (lambda: segmora._segmora.join_tiles(image, [first[0]]), ValueError),
                        (lambda: segmora._segmora.join_tiles(image, [first[0][:-3]] * 9),
                         ValueError),
                        (lambda: segmora._segmora.join_tiles(image, ["text"] * 9), TypeError),
                        (lambda: segmora._segmora.label_tile(image, 4, first[1], b"", 1),
                         ValueError),
                        (lambda: segmora._segmora.TiledImage(0, 5, 1, 1, 500.0, 0.0, None, 5,
                                                             False), ValueError)):
        with pytest.raises(error):
            call()


def test_the_sweep_is_the_same_for_any_pieces_tiles_and_processes(flat, client):
    tiled = segmora._segmora
    image = tiled.TiledImage(160, 120, 64, 48, 500.0, 0.0, 300, 5, False)
    whole = tiled.FlatSweep(image)
    whole.add_rows(flat, None)
    swept = whole.finish()
    pieces = tiled.FlatSweep(tiled.TiledImage(160, 120, 33, 120, 500.0, 0.0, 300, 5, False))
    for top, bottom in ((0, 1), (1, 40), (40, 41), (41, 97)):
        pieces.add_rows(flat[top:bottom], None)
    carried = tiled.FlatSweep(image, pickle.loads(pickle.dumps(pieces.state_bytes())))
    assert carried.rows_added == 97
    carried.add_rows(np.ascontiguousarray(flat[97:]), None)
    assert carried.finish() == swept
    from segmora._dask_segment import _sweep
    workers = sorted(client.scheduler_info()["workers"])
    state = None
    for row, (top, bottom) in enumerate(((0, 48), (48, 96), (96, 120))):  # worker by worker
        state = client.submit(_sweep, image, state, flat[top:bottom], None, bottom == 120,
                              workers=workers[row % 2], pure=False)
    assert state.result() == swept
    # Every tile takes the sweep: the same labels, and the glass costs the join far less.
    joins = {}
    for sweep in (None, swept):
        firsts = []
        for tile in range(image.tile_count):
            x, y, w, h = image.tile_read_rect(tile)
            firsts.append(tiled.segment_tile(image, tile, flat[y:y + h, x:x + w], None, sweep))
        count, tables = tiled.join_tiles(image, [f[0] for f in firsts])
        labels = np.block([[tiled.label_tile(image, t, firsts[t][1], tables[t], count)
                            for t in range(r * 3, r * 3 + 3)] for r in range(3)])
        np.testing.assert_array_equal(labels, segmora.segment(flat, cap_divisor=300)[0])
        joins[sweep is None] = sum(len(f[0]) for f in firsts)
    assert joins[False] * 4 < joins[True]
    x, y, w, h = image.tile_read_rect(4)
    for call, error in ((lambda: whole.add_rows(flat[:1], None), ValueError),  # past the end
                        (lambda: tiled.FlatSweep(image).add_rows(flat[:, :90], None), ValueError),
                        (lambda: tiled.FlatSweep(image).add_rows(flat, flat[..., 0]), ValueError),
                        (lambda: tiled.FlatSweep(image, swept[:-1]), ValueError),
                        (lambda: tiled.FlatSweep(image, "state"), TypeError),
                        (lambda: pieces.finish(), ValueError),  # rows missing
                        (lambda: tiled.segment_tile(image, 4, flat[y:y + h, x:x + w], None,
                                                    swept[:-1]), ValueError),
                        (lambda: tiled.segment_tile(image, 4, flat[y:y + h, x:x + w], None,
                                                    "sweep"), TypeError)):
        with pytest.raises(error):
            call()


def test_the_package_works_and_stays_without_dask():
    code = ("import sys, numpy, segmora\n"
            "segmora.segment(numpy.zeros((4, 4, 3), numpy.uint8))\n"
            "assert 'dask' not in sys.modules, 'numpy input imported dask'\n"
            "sys.modules['dask'] = None\n"
            "assert segmora.segment(numpy.zeros((4, 4, 3), numpy.uint8))[1] == 1\n")
    subprocess.run([sys.executable, "-c", code], check=True)
