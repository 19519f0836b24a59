"""Times segmora.segment against the program plus numpy.loadtxt: one large photo, then
COUNT small photos in this one process. Prints the best of REPEATS runs.

usage: bindings_bench.py PROGRAM BIG.png SMALL.png... --scratch DIR --repeats N --count N
Each photo NAME.png needs its pixels beside it as NAME.ppm (resize_photo writes both).
"""

import argparse
import os
import subprocess
import time

import numpy as np

import segmora


def read_ppm(path):
    with open(path, "rb") as f:
        magic, width, height, maxval = f.readline(), *f.readline().split(), f.readline()
        assert magic == b"P6\n" and maxval == b"255\n"
        return np.frombuffer(f.read(), np.uint8).reshape(int(height), int(width), 3)


def best_of(repeats, run):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    return best


def program_labels(program, photo, csv):
    subprocess.run([program, "-i", photo, "-o", csv], check=True, stdout=subprocess.DEVNULL)
    return np.loadtxt(csv, delimiter=",", dtype=np.int32, ndmin=2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("big")
    parser.add_argument("small", nargs="+")
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--count", type=int, default=200)
    args = parser.parse_args()
    csv = os.path.join(args.scratch, "labels.csv")
    pixels = lambda png: read_ppm(os.path.splitext(png)[0] + ".ppm")
    rgb = pixels(args.big)
    small = [pixels(p) for p in args.small]

    assert np.array_equal(segmora.segment(rgb)[0], program_labels(args.program, args.big, csv))
    report = lambda what, seconds: print(f"python  {what:<28} {seconds:8.3f} s")
    height, width = rgb.shape[:2]
    worker = segmora.Segmenter()
    report(f"{width} x {height}, segment", best_of(args.repeats, lambda: segmora.segment(rgb)))
    report("same, Segmenter.segment", best_of(args.repeats, lambda: worker.segment(rgb)))
    report("same, program + loadtxt",
           best_of(args.repeats, lambda: program_labels(args.program, args.big, csv)))

    def segment_many():
        for k in range(args.count):
            segmora.segment(small[k % len(small)])

    def program_many():
        for k in range(args.count):
            program_labels(args.program, args.small[k % len(small)], csv)

    def segmenter_many():
        for k in range(args.count):
            worker.segment(small[k % len(small)])

    report(f"{args.count} photos, segment", best_of(args.repeats, segment_many))
    report(f"{args.count} photos, Segmenter.segment", best_of(args.repeats, segmenter_many))
    report(f"{args.count} photos, program + loadtxt", best_of(args.repeats, program_many))


if __name__ == "__main__":
    main()
