"""Exact counts: segment(count=N), hierarchy() and its cuts and linkage matrix, against the
program's --count and a plain replay of the linkage rows."""
import os
import subprocess

import numpy as np
import pytest

import segmora
from conftest import GOLDEN, PROGRAM, SAMPLES, golden_regions


def replayed_cut(tree, z, count):
    """The cut at `count` from the linkage matrix alone: its first finest - count rows joined
    over the finest labels, then numbered by first pixels."""
    finest = tree.cut(tree.finest_count)
    n = tree.finest_count
    parent = list(range(2 * n))
    for i, row in enumerate(z[: n - count]):
        parent[int(row[0])] = parent[int(row[1])] = n + i

    def root(x):
        while parent[x] != x:
            x = parent[x]
        return x

    roots = np.array([root(k) for k in range(n)])[finest - 1]
    _, first, numbered = np.unique(roots.ravel(), return_index=True, return_inverse=True)
    order = np.argsort(np.argsort(first))
    return (order[numbered] + 1).reshape(finest.shape).astype(np.int32)


@pytest.mark.parametrize("with_regions", [False, True])
def test_counts_are_exact_nested_and_the_programs(photos, tmp_path, with_regions):
    name = "astronaut"
    rgb = photos[name]
    regions = golden_regions(name) if with_regions else None
    tree = segmora.hierarchy(rgb, regions)
    labels, count = segmora.segment(rgb, regions)
    assert tree.default_count == count
    assert np.array_equal(tree.cut(count), labels)
    assert tree.finest_count >= 3 * count
    z = tree.linkage()
    assert z.shape == (tree.finest_count - 1, 4)
    assert np.all(np.diff(z[:, 2]) > 0)
    for n in sorted({tree.coarsest_count, tree.coarsest_count + 1, 100, 101, count // 2,
                     2 * count, tree.finest_count}):
        cut = tree.cut(n)
        assert cut.max() == n and np.unique(cut).size == n
        assert np.array_equal(cut, replayed_cut(tree, z, n))
        assert np.array_equal(segmora.segment(rgb, regions, count=n)[0], cut)
    # Nesting: each superpixel of 101 lies in one of 100.
    finer, coarser = tree.cut(101), tree.cut(100)
    pairs = np.unique(np.stack([finer.ravel(), coarser.ravel()]), axis=1)
    assert pairs.shape[1] == 101
    # The program's labels for the same count.
    args = [PROGRAM, "-i", os.path.join(SAMPLES, name + ".png"), "--count", "100",
            "-o", str(tmp_path / "labels.csv")]
    if with_regions:
        args += ["-r", os.path.join(GOLDEN, "regions", name + ".txt")]
    subprocess.run(args, check=True, capture_output=True)
    program = np.loadtxt(tmp_path / "labels.csv", delimiter=",", dtype=np.int32, ndmin=2)
    assert np.array_equal(program, tree.cut(100))


def test_scipy_cut_tree_gives_the_cut(photos):
    hierarchy_module = pytest.importorskip("scipy.cluster.hierarchy")
    tree = segmora.hierarchy(photos["coffee"])
    z = tree.linkage()
    finest = tree.cut(tree.finest_count)
    for n in (1, 2, 50, tree.default_count):
        clusters = hierarchy_module.cut_tree(z, n_clusters=n)[:, 0]
        cut = tree.cut(n)
        pairs = np.unique(np.stack([clusters[finest.ravel() - 1], cut.ravel()]), axis=1)
        assert pairs.shape[1] == n  # the same partition, numbered otherwise


def test_masked_hierarchy_is_the_masked_run_cut(photos):
    rgb = photos["astronaut"]
    inside = np.zeros(rgb.shape[:2], bool)
    inside[30:300, 40:420] = True
    tree = segmora.hierarchy(rgb, mask=inside)
    labels, count = segmora.segment(rgb, mask=inside)
    assert tree.default_count == count and np.array_equal(tree.cut(count), labels)
    for n in (1, 37, tree.finest_count):
        cut = tree.cut(n)
        assert cut.max() == n and not cut[~inside].any() and cut[inside].all()
        assert np.array_equal(segmora.segment(rgb, mask=inside, count=n)[0], cut)
    z = tree.linkage()
    assert z.shape == (tree.finest_count - 1, 4) and (np.diff(z[:, 2]) > 0).all()


def test_bad_counts_raise(photos):
    rgb = photos["chelsea"]
    tree = segmora.hierarchy(rgb)
    for bad in (0, -3, 2.5):
        with pytest.raises(ValueError, match="count must be a whole number of at least 1"):
            segmora.segment(rgb, count=bad)
    for bad in ("100", True):
        with pytest.raises(TypeError, match="count"):
            segmora.segment(rgb, count=bad)
    with pytest.raises(ValueError, match=f"from 1 to {tree.finest_count}"):
        tree.cut(tree.finest_count + 1)
    with pytest.raises(ValueError, match=f"from 1 to {tree.finest_count}"):
        segmora.segment(rgb, count=tree.finest_count + 1)
