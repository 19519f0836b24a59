"""segmora.graph against what a Python user writes with numpy alone for the same quantities
(sizes, centroids, boxes and mean colours by bincount and ufunc.at, the adjacency with border
lengths by np.unique over the stacked neighbour label pairs), in the same run, on the
same labels. Both results are checked equal. Prints the best of REPEATS calls, in ms.

usage: graph_bench.py [--repeats N] CROP.ppm...     (graph_bench --crops DIR writes them)
"""

import argparse
import os
import time

import numpy as np

import segmora


def read_ppm(path):
    with open(path, "rb") as f:
        magic, width, height, maxval = f.readline(), *f.readline().split(), f.readline()
        assert magic == b"P6\n" and maxval == b"255\n"
        return np.frombuffer(f.read(), np.uint8).reshape(int(height), int(width), 3)


def numpy_graph(labels, rgb, boxes=True):
    """The graph with numpy alone (boxes=False: without the slow ufunc.at boxes)."""
    n = int(labels.max())
    flat = labels.ravel()
    rows, cols = np.indices(labels.shape)
    rows, cols = rows.ravel(), cols.ravel()
    size = np.bincount(flat, minlength=n + 1)[1:]
    centroid = np.stack([np.bincount(flat, rows, n + 1)[1:],
                         np.bincount(flat, cols, n + 1)[1:]], axis=1) / size[:, None]
    mean_color = np.stack([np.bincount(flat, rgb[..., c].ravel(), n + 1)[1:]
                           for c in range(3)], axis=1) / size[:, None]
    bbox = None
    if boxes:
        low = np.full((2, n + 1), labels.size)
        high = np.zeros((2, n + 1), np.int64)
        for axis, where in enumerate([rows, cols]):
            np.minimum.at(low[axis], flat, where)
            np.maximum.at(high[axis], flat, where)
        bbox = np.concatenate([low, high + 1]).T[1:]
    # Neighbour pairs: right, down, down-right, down-left; keys a * (n + 1) + b, a < b.
    h, w = labels.shape
    pairs = [(labels[:, :-1], labels[:, 1:]), (labels[:-1, :], labels[1:, :]),
             (labels[:-1, :-1], labels[1:, 1:]), (labels[:-1, 1:], labels[1:, :-1])]
    a = np.concatenate([p.ravel() for p, _ in pairs]).astype(np.int64)
    b = np.concatenate([q.ravel() for _, q in pairs]).astype(np.int64)
    differ = a != b
    a, b = a[differ], b[differ]
    keys, border = np.unique(np.minimum(a, b) * (n + 1) + np.maximum(a, b), return_counts=True)
    edges = np.stack([keys // (n + 1), keys % (n + 1)], axis=1).astype(np.int32)
    return size, centroid, bbox, mean_color, edges, border


def best_ms(repeats, call):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeats", type=int, default=20)
    parser.add_argument("crops", nargs="+")
    args = parser.parse_args()
    print(f"{'photo':<12} {'superpix':>8} {'edges':>6} {'segmora.graph':>14} {'numpy':>8} "
          f"{'ratio':>6} {'numpy w/o boxes':>16}   (ms, best of {args.repeats})")
    for path in args.crops:
        rgb = read_ppm(path)
        labels, count = segmora.segment(rgb)
        g = segmora.graph(labels, rgb)
        want = numpy_graph(labels, rgb)
        for got, field in zip([g.size, g.centroid, g.bbox, g.mean_color, g.edges, g.border],
                              want):
            np.testing.assert_array_equal(got, field)
        ours = best_ms(args.repeats, lambda: segmora.graph(labels, rgb))
        theirs = best_ms(args.repeats, lambda: numpy_graph(labels, rgb))
        boxless = best_ms(args.repeats, lambda: numpy_graph(labels, rgb, boxes=False))
        name = os.path.splitext(os.path.basename(path))[0]
        print(f"{name:<12} {count:>8} {len(g.border):>6} {ours:>14.2f} {theirs:>8.1f} "
              f"{theirs / ours:>5.0f}x {boxless:>16.1f}")


if __name__ == "__main__":
    main()
