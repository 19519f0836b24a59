"""segmora.graph and segmora.mean_picture against what a Python user writes with NumPy alone
for the same quantities (sizes, centroids, boxes and mean colours by bincount and ufunc.at,
the adjacency with border lengths by np.unique over the stacked neighbour label pairs; a
mean-colour picture by indexing), in the same process, on the same labels. Both results are
checked equal. Prints the best of REPEATS calls in ms (fewer calls where one takes over a
second: about 3 s of calls per figure at most).

usage: graph_bench.py [--repeats N] PHOTO.ppm...   (make_photo_set --decoded writes them)
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
    pairs = [(labels[:, :-1], labels[:, 1:]), (labels[:-1, :], labels[1:, :]),
             (labels[:-1, :-1], labels[1:, 1:]), (labels[:-1, 1:], labels[1:, :-1])]
    a = np.concatenate([p.ravel() for p, _ in pairs]).astype(np.int64)
    b = np.concatenate([q.ravel() for _, q in pairs]).astype(np.int64)
    differ = a != b
    a, b = a[differ], b[differ]
    keys, border = np.unique(np.minimum(a, b) * (n + 1) + np.maximum(a, b), return_counts=True)
    edges = np.stack([keys // (n + 1), keys % (n + 1)], axis=1).astype(np.int32)
    return size, centroid, bbox, mean_color, edges, border


def numpy_mean_picture(labels, rgb):
    n = int(labels.max())
    flat = labels.ravel()
    size = np.bincount(flat, minlength=n + 1)
    means = np.stack([np.bincount(flat, rgb[..., c].ravel(), n + 1) for c in range(3)], axis=1)
    means = np.floor(means / np.maximum(size, 1)[:, None] + 0.5).astype(np.uint8)
    return means[labels]


def best_ms(repeats, call):
    best = float("inf")
    spent = 0.0
    for _ in range(repeats):
        start = time.perf_counter()
        call()
        took = time.perf_counter() - start
        best = min(best, took)
        spent += took
        if spent > 3.0:
            break
    return best * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeats", type=int, default=20)
    parser.add_argument("photos", nargs="+")
    args = parser.parse_args()
    print(f"{'photo':<12} {'size':>10} {'superpix':>8} {'edges':>6} {'graph':>9} "
          f"{'no rgb':>8} {'mean_pic':>9} {'numpy':>8} {'w/o boxes':>9} {'numpy pic':>9} "
          f"{'numpy/graph':>11}")
    for path in args.photos:
        rgb = read_ppm(path)
        labels, count = segmora.segment(rgb)
        g = segmora.graph(labels, rgb)
        want = numpy_graph(labels, rgb)
        for got, field in zip([g.size, g.centroid, g.bbox, g.mean_color, g.edges, g.border],
                              want):
            np.testing.assert_array_equal(got, field)
        np.testing.assert_array_equal(segmora.mean_picture(labels, rgb),
                                      numpy_mean_picture(labels, rgb))
        ours = best_ms(args.repeats, lambda: segmora.graph(labels, rgb))
        bare = best_ms(args.repeats, lambda: segmora.graph(labels))
        picture = best_ms(args.repeats, lambda: segmora.mean_picture(labels, rgb))
        theirs = best_ms(args.repeats, lambda: numpy_graph(labels, rgb))
        boxless = best_ms(args.repeats, lambda: numpy_graph(labels, rgb, boxes=False))
        their_picture = best_ms(args.repeats, lambda: numpy_mean_picture(labels, rgb))
        name = os.path.splitext(os.path.basename(path))[0]
        size = f"{rgb.shape[1]}x{rgb.shape[0]}"
        print(f"{name:<12} {size:>10} {count:>8} {len(g.border):>6} {ours:>9.2f} {bare:>8.2f} "
              f"{picture:>9.2f} {theirs:>8.1f} {boxless:>9.1f} {their_picture:>9.1f} "
              f"{theirs / ours:>10.1f}x", flush=True)


if __name__ == "__main__":
    main()
