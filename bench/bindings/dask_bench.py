"""segmora.segment on a Dask array against the same photo as one numpy array: wall seconds
of each way, best of --repeats, after checking that every way gives the same labels.

usage: PYTHONPATH=build/python /usr/bin/python3 bench/bindings/dask_bench.py
           [--size 4243x2828] [--chunks 1024,2048] [--repeats 3] [--photos FOLDER]
           [--glass PERCENT]

The photo is a mosaic of the real photos of FOLDER (default /work/shared/images) at native
scale: 300 x 400 crops of each, in turn, so that neighbours differ. --glass makes that
share of it white around a central rectangle, as a slide's glass clipped to white (a flat
area across many chunks, which the sweep before the tiles is for). Ways: numpy (one piece,
a Segmenter on every core), Dask on threads at each chunk size, and Dask on a LocalCluster
of two worker processes of one thread each at the largest chunk size.
"""

import argparse
import glob
import os
import platform
import time

import dask
import dask.array as da
import numpy as np
from distributed import Client, LocalCluster
from PIL import Image

import segmora


def mosaic(folder, width, height):
    crops = [np.asarray(Image.open(p).convert("RGB"))[:300, :400]
             for p in sorted(glob.glob(os.path.join(folder, "*.png")))]
    rows = []
    for r in range(-(-height // 300)):
        row = [crops[(r * 3 + c) % len(crops)] for c in range(-(-width // 400))]
        rows.append(np.hstack(row))
    return np.ascontiguousarray(np.vstack(rows)[:height, :width])


def glass(photo, percent):
    """`photo` made white but for a central rectangle of (100 - percent)% of its pixels."""
    height, width = photo.shape[:2]
    side = (1 - percent / 100) ** 0.5
    top, left = int(height * (1 - side) / 2), int(width * (1 - side) / 2)
    white = np.full_like(photo, 255)
    white[top:height - top, left:width - left] = photo[top:height - top, left:width - left]
    return white


def best(repeats, run):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - start)
    return min(times), result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", default="4243x2828")
    parser.add_argument("--chunks", default="1024,2048")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--photos", default="/work/shared/images")
    parser.add_argument("--glass", type=float, default=0)
    args = parser.parse_args()
    memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2 ** 30
    print(f"{time.strftime('%Y-%m-%d %H:%M')}, {platform.node()}: {os.cpu_count()} cores, "
          f"{memory:.0f} GiB, {platform.platform()}, load {os.getloadavg()[0]:.1f}")
    width, height = map(int, args.size.split("x"))
    photo = glass(mosaic(args.photos, width, height), args.glass)
    engine = segmora.Segmenter()
    seconds, (want, count) = best(args.repeats, lambda: engine.segment(photo))
    print(f"photo {width} x {height} ({width * height / 1e6:.1f} MP), {args.glass:g}% glass, "
          f"{count} superpixels")
    print(f"numpy one piece          {seconds:7.2f} s")
    sizes = [int(c) for c in args.chunks.split(",")]
    def graph(size):  # a new graph for every run: no result kept from the one before
        return segmora.segment(da.from_array(photo, chunks=(size, size, 3)))

    for size in sizes:
        took, got = best(args.repeats,
                         lambda: dask.compute(*graph(size), scheduler="threads"))
        assert got[1] == count and (got[0] == want).all(), f"threads, chunks {size}"
        print(f"dask threads, chunks {size:5} {took:7.2f} s  ({took / seconds:.2f}x)")
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        took, got = best(args.repeats, lambda: client.compute(graph(sizes[-1]), sync=True))
        assert got[1] == count and (got[0] == want).all(), "LocalCluster"
        print(f"dask 2 processes, {sizes[-1]:5}  {took:7.2f} s  ({took / seconds:.2f}x)")


if __name__ == "__main__":
    main()
