"""segmora.graph and segmora.mean_picture against the same quantities computed with
numpy alone, on segmented sample photos and on label maps made to trip a fast pass."""

import os
import subprocess
import threading

import numpy as np
import pytest

import segmora

SAMPLES = os.environ["SEGMORA_SAMPLES"]


def read_ppm(path):
    with open(path, "rb") as f:
        magic, width, height, maxval = f.readline(), *f.readline().split(), f.readline()
        assert magic == b"P6\n" and maxval == b"255\n"
        return np.frombuffer(f.read(), dtype=np.uint8).reshape(int(height), int(width), 3)


@pytest.fixture(scope="module")
def photos(tmp_path_factory):
    folder = tmp_path_factory.mktemp("graph-photos")
    pixels = {}
    for name in ["astronaut", "coffee", "gravel"]:
        ppm = folder / (name + ".ppm")
        subprocess.run([os.environ["SEGMORA_PHOTO_PIXELS"],
                        os.path.join(SAMPLES, name + ".png"), str(ppm)], check=True)
        pixels[name] = read_ppm(ppm)
    return pixels


def numpy_graph(labels, rgb=None):
    """Every field by numpy: bincount sums, and neighbour pairs counted by np.unique."""
    labels = np.asarray(labels, dtype=np.int64)
    n = int(labels.max()) if labels.size else 0
    flat = labels.ravel()
    rows, cols = np.indices(labels.shape)
    size = np.bincount(flat, minlength=n + 1)[1:]
    with np.errstate(invalid="ignore"):
        centroid = np.stack([np.bincount(flat, rows.ravel(), n + 1)[1:] / size,
                             np.bincount(flat, cols.ravel(), n + 1)[1:] / size], axis=1)
        mean_color = None if rgb is None else np.stack(
            [np.bincount(flat, rgb[..., c].ravel().astype(float), n + 1)[1:] / size
             for c in range(3)], axis=1)
    low = np.full((2, n + 1), labels.size, np.int64)
    high = np.full((2, n + 1), -1, np.int64)
    for axis, where in enumerate([rows.ravel(), cols.ravel()]):
        np.minimum.at(low[axis], flat, where)
        np.maximum.at(high[axis], flat, where)
    bbox = np.concatenate([low, high + 1]).T[1:]
    bbox[size == 0] = 0
    pairs = []
    height, width = labels.shape
    for dy, dx in [(0, 1), (1, 0), (1, 1), (1, -1)]:
        a = labels[:height - dy, max(0, -dx):width - max(0, dx)]
        b = labels[dy:, max(0, dx):width - max(0, -dx) if dx < 0 else width]
        pairs.append(np.stack([a.ravel(), b.ravel()], axis=1))
    pairs = np.concatenate(pairs)
    pairs = np.sort(pairs[pairs[:, 0] != pairs[:, 1]], axis=1)
    pairs = pairs[pairs[:, 0] != 0]  # background has no edges
    edges, border = np.unique(pairs, axis=0, return_counts=True)
    return dict(size=size, centroid=centroid, bbox=bbox, mean_color=mean_color,
                edges=edges.reshape(-1, 2), border=border)


def assert_graph(labels, rgb=None):
    g = segmora.graph(labels, rgb)
    want = numpy_graph(labels, rgb)
    n = len(want["size"])
    assert g.count == n
    assert g.size.dtype == np.int64 and g.edges.dtype == np.int32
    assert g.size.shape == (n,) and g.centroid.shape == (n, 2) and g.bbox.shape == (n, 4)
    for field in ["size", "centroid", "bbox", "edges", "border"]:
        np.testing.assert_array_equal(getattr(g, field), want[field], err_msg=field)
    if rgb is None:
        assert g.mean_color is None
    else:
        assert g.mean_color.shape == (n, 3)
        np.testing.assert_array_equal(g.mean_color, want["mean_color"])
    return g


def noise(shape, seed):
    return np.random.default_rng(seed).integers(0, 256, shape, dtype=np.uint8)


def test_segmented_photos_match_numpy(photos):
    for name, rgb in photos.items():
        labels, count = segmora.segment(rgb)
        g = assert_graph(labels, rgb)
        assert g.count == count and g.size.sum() == labels.size
        # Another channel order and layout of the same pixels: the means follow the array.
        bgr = np.asfortranarray(rgb[..., ::-1])
        np.testing.assert_array_equal(segmora.graph(labels, bgr).mean_color,
                                      g.mean_color[:, ::-1])
        picture = segmora.mean_picture(labels, rgb)
        assert picture.dtype == np.uint8 and picture.shape == rgb.shape
        np.testing.assert_array_equal(picture, np.floor(g.mean_color + 0.5)[labels - 1])


def test_awkward_label_maps_match_numpy():
    ring = np.full((6, 7), 3)
    ring[1:5, 1:6] = 2
    ring[2:4, 2:5] = 1
    every_pixel = np.arange(1, 64).reshape(7, 9)
    checker = np.indices((8, 5)).sum(axis=0) % 2 + 1
    maps = [
        np.ones((4, 5), np.int32),                      # one superpixel
        np.array([[1, 2], [3, 4]]),                     # 1-4 and 2-3 touch at a corner
        np.array([[1, 2], [2, 1]], np.uint8),           # diagonal pixels of one label
        ring, every_pixel, checker,
        np.array([[1, 1, 2, 3, 3, 2, 1]], np.int16),    # 1 x N
        np.array([[1], [2], [2], [3]], np.uint64),      # N x 1
        np.array([[5, 5], [1, 5]]),                     # labels 2 .. 4 carry no pixel
        np.random.default_rng(3).integers(1, 2000, (90, 70)),
    ]
    for labels in maps:
        assert_graph(labels, noise(labels.shape + (3,), 1))
        assert_graph(labels)
    # Views: a strided slice, a transposed (Fortran-order) array, a big-endian one.
    big = np.random.default_rng(4).integers(1, 40, (30, 40))
    for labels in [big[::2, 3::3], big.T, big.astype(">i4")]:
        assert_graph(labels, noise(labels.shape + (3,), 2))
    g = segmora.graph(np.array([[1, 2], [3, 4]]))
    np.testing.assert_array_equal(g.border, np.ones(6))
    nothing = segmora.graph(np.zeros((0, 4), np.int32), np.zeros((0, 4, 3), np.uint8))
    assert nothing.count == 0 and nothing.mean_color.shape == (0, 3)
    assert nothing.edges.shape == (0, 2)
    empty = segmora.graph(np.array([[5, 5], [1, 5]]))
    assert list(empty.size) == [1, 0, 0, 0, 3] and np.isnan(empty.centroid[1:4]).all()
    assert (empty.bbox[1:4] == 0).all()


def test_threads_get_the_same_graph(photos):
    rgb = photos["coffee"]
    labels, _ = segmora.segment(rgb)
    want = segmora.graph(labels, rgb)
    results = [None] * 4

    def work(i):
        results[i] = segmora.graph(labels, rgb)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for g in results:
        np.testing.assert_array_equal(g.edges, want.edges)
        np.testing.assert_array_equal(g.mean_color, want.mean_color)


def test_bad_input_is_refused():
    labels = np.array([[1, 2], [2, 3]])
    rgb = noise((2, 2, 3), 5)
    refused = [
        (TypeError, labels.astype(np.complex64), None),
        (TypeError, np.array([["a", "b"]]), None),
        (TypeError, labels, rgb.astype(np.int32)),
        (ValueError, labels[None], None),
        (ValueError, labels, rgb[:1]),
        (ValueError, labels, np.zeros((2, 2, 5), np.uint8)),
        (ValueError, labels, np.full((2, 2), 1.5)),
        (ValueError, np.array([[1, -3]]), None),
        (ValueError, np.array([[1, 2], [-3, 4]], np.int32), None),  # read in place
        (ValueError, np.array([[1, 1.5]]), None),
        (ValueError, np.array([[1, 2**31]]), None),
        (ValueError, np.array([[1, 2**64 - 1]], np.uint64), None),
        (ValueError, np.array([[1, 2**20 + 1]]), None),  # more labels than pixels and 2^20
        (ValueError, np.zeros((2**31, 0), np.int32), None),
    ]
    for error, bad_labels, bad_rgb in refused:
        with pytest.raises(error):
            segmora.graph(bad_labels, bad_rgb)
        if bad_rgb is not None:
            with pytest.raises(error):
                segmora.mean_picture(bad_labels, bad_rgb)
    with pytest.raises(TypeError):
        segmora.mean_picture(labels, None)
    assert segmora.graph(np.array([[1, 2**20]])).count == 2**20
    with pytest.raises(ValueError, match=r"labels\[1, 2\] = -1 is not a whole number from 0 to"):
        segmora.graph(np.where(np.arange(20).reshape(4, 5) == 7, -1, 1))
    with pytest.raises(ValueError, match=r"^rgb must have shape \(4, 5\) or \(4, 5, C\) like"):
        segmora.graph(np.ones((4, 5), np.int8), np.zeros((3, 5, 3), np.uint8))


RGB = np.zeros((4, 5, 3), np.uint8)


@pytest.mark.parametrize("rgb", [
    np.zeros((4, 5, 3), np.int64), RGB.astype(np.float16), np.zeros((4, 5, 3), "V0"),
    np.zeros((4, 5, 5), np.uint8), np.zeros((4, 5, 3, 1), np.uint8), np.full((4, 5, 3), 1.5),
    np.full((4, 5), -0.25, np.float32), np.full((4, 5, 3), np.nan),
])
def test_a_bad_photo_is_refused_in_segments_words(rgb):
    with pytest.raises((TypeError, ValueError)) as by_segment:
        segmora.segment(rgb)
    with pytest.raises(by_segment.type) as by_graph:
        segmora.graph(np.ones((4, 5), np.int32), rgb)
    assert str(by_graph.value) == str(by_segment.value)


@pytest.mark.parametrize("labels, words", [
    (np.zeros((4, 5), np.complex64), "not complex64"),
    (np.full((4, 5), 2.0**31), "= 2147483648"),
    (np.where(np.eye(4, 5) > 0, 0, 0.5), "[0, 1] = 0.5"),
    (np.full((4, 5), np.inf, np.float32), "[0, 0] = inf"),
    (np.where(np.eye(4, 5) > 0, 2**63, 0).astype(np.uint64), "[0, 0] = 9223372036854775808"),
])
def test_bad_labels_are_refused_in_the_words_of_bad_regions(labels, words):
    with pytest.raises((TypeError, ValueError)) as by_segment:
        segmora.segment(RGB, labels)
    with pytest.raises(by_segment.type) as by_graph:
        segmora.graph(labels, RGB)
    assert words in str(by_segment.value) and words in str(by_graph.value)
    assert str(by_graph.value).split(words)[0].replace("labels", "regions") == \
        str(by_segment.value).split(words)[0]


def test_background_and_gaps_match_numpy(photos):
    """Label 0 is background: in no size, mean or edge, wherever it lies."""
    rgb = photos["coffee"]
    labels, count = segmora.segment(rgb, threshold=300)
    spread = np.where(labels % 3 == 0, 0, 2 * labels + 1)  # gaps: every even label
    spread[0] = 0
    spread[:, -1] = 0
    spread[5::7, 9::11] = 0
    for kind in (np.int32, np.uint16, np.float64):
        g = assert_graph(spread.astype(kind), rgb)
    assert g.size.sum() == np.count_nonzero(spread)
    picture = segmora.mean_picture(spread, rgb)
    np.testing.assert_array_equal(picture[spread == 0], 0)
    inside = spread > 0
    np.testing.assert_array_equal(picture[inside],
                                  np.floor(g.mean_color + 0.5)[spread[inside] - 1])
    # A 0-based segmentation is passed as labels + 1; all-background maps have no rows.
    zero_based = labels - 1
    np.testing.assert_array_equal(segmora.graph(zero_based + 1, rgb).mean_color,
                                  segmora.graph(labels, rgb).mean_color)
    assert segmora.graph(np.zeros((3, 4), np.uint8), noise((3, 4, 3), 2)).count == 0
    assert_graph(np.zeros((3, 4), np.int64))


def test_every_image_kind_gives_the_graph_of_the_programs_pixels(photos, tmp_path):
    """Each kind of image, as an array and as a PIL image, gives the mean colours of the
    8-bit pixels the program decodes from the same file."""
    from conftest import decode, write_png
    from test_knobs_and_kinds import image_kinds
    rgb = photos["astronaut"][:90, :120]
    labels, _ = segmora.segment(rgb, threshold=200)
    labels[labels % 5 == 0] = 0
    Image = None
    try:
        import PIL.Image as Image
    except ImportError:
        pass
    for name, pixels, arrays in image_kinds(rgb):
        path = tmp_path / (name + ".png")
        write_png(path, pixels)
        decoded = decode(path, tmp_path)
        want = segmora.graph(labels, decoded)
        want_picture = segmora.mean_picture(labels, decoded)
        for array in arrays:
            got = segmora.graph(labels, array)
            np.testing.assert_array_equal(got.mean_color, want.mean_color, err_msg=name)
            np.testing.assert_array_equal(segmora.mean_picture(labels, array), want_picture)
        if Image is not None and pixels.dtype == np.uint8:
            with Image.open(path) as opened:
                got = segmora.graph(labels, opened)
            np.testing.assert_array_equal(got.mean_color, want.mean_color, err_msg=name)


def test_program_graph_files_hold_the_same_graph(photos, tmp_path):
    prefix = tmp_path / "coffee"
    subprocess.run([os.environ["SEGMORA_PROGRAM"], "-i", os.path.join(SAMPLES, "coffee.png"),
                    "--graph", str(prefix), "--mean-picture", str(prefix) + ".ppm"],
                   check=True, stdout=subprocess.DEVNULL)
    rgb = photos["coffee"]
    g = segmora.graph(segmora.segment(rgb)[0], rgb)
    nodes = np.loadtxt(str(prefix) + ".nodes.csv", delimiter=",", skiprows=1, ndmin=2)
    edges = np.loadtxt(str(prefix) + ".edges.csv", delimiter=",", skiprows=1, ndmin=2,
                       dtype=np.int64)
    np.testing.assert_array_equal(nodes[:, 0], np.arange(1, g.count + 1))
    np.testing.assert_array_equal(nodes[:, 1], g.size)
    np.testing.assert_array_equal(nodes[:, 2:4], g.centroid)
    np.testing.assert_array_equal(nodes[:, 4:8], g.bbox - [0, 0, 1, 1])
    np.testing.assert_array_equal(nodes[:, 8:11], g.mean_color)
    with open(str(prefix) + ".nodes.csv") as f:
        assert f.readline().rstrip("\n").split(",")[8:] == [
            "mean_red", "mean_green", "mean_blue", "mean_L", "mean_a", "mean_b"]
    np.testing.assert_array_equal(edges, np.column_stack([g.edges, g.border]))
    # The program's mean-colour picture holds mean_picture's pixels.
    np.testing.assert_array_equal(read_ppm(str(prefix) + ".ppm"),
                                  segmora.mean_picture(segmora.segment(rgb)[0], rgb))


def test_the_python_example_of_the_graph_document_runs(monkeypatch):
    project = os.path.dirname(os.path.abspath(SAMPLES))
    with open(os.path.join(project, "docs", "graph.md")) as f:
        text = f.read()
    example = text.split("```python\n", 1)[1].split("```", 1)[0]
    pytest.importorskip("PIL")
    monkeypatch.chdir(project)
    names = {}
    exec(example, names)
    g, labels = names["g"], names["labels"]
    assert g.count == names["count"] and (g.size[names["big"] - 1] >= 200).all()
    assert g.border[(g.edges == names["longest"]).all(axis=1)] == g.border.max()
    assert names["flat"].shape == labels.shape + (3,)
