"""Times segmora.segment against the program plus numpy.loadtxt: one large photo, then COUNT
small photos in this one process, in turn and on two Python threads. Prints the best of REPEATS
runs, and with --dump writes every label matrix (int32, the large photo's first) to one file so
that two builds can be compared byte for byte.

usage: bindings_bench.py PROGRAM BIG.png SMALL.png... --scratch DIR --repeats N --count N
                         [--dump FILE]
Each photo NAME.png needs its pixels beside it as NAME.ppm (make_photo_set --decoded writes both).
"""

import argparse
import inspect
import os
import subprocess
import time
from concurrent.futures import ThreadPoolExecutor

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


def dump(path, rgb, small):
    with open(path, "wb") as f:
        for pixels in [rgb, *small]:
            segmora.segment(pixels)[0].astype(np.int32).tofile(f)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("big")
    parser.add_argument("small", nargs="+")
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--dump")
    args = parser.parse_args()
    csv = os.path.join(args.scratch, "labels.csv")
    pixels = lambda png: read_ppm(os.path.splitext(png)[0] + ".ppm")
    rgb = pixels(args.big)
    small = [pixels(p) for p in args.small]
    chosen = [k % len(small) for k in range(args.count)]

    assert np.array_equal(segmora.segment(rgb)[0], program_labels(args.program, args.big, csv))
    if args.dump:
        dump(args.dump, rgb, small)
    report = lambda what, seconds: print(f"python  {what:<34} {seconds:8.3f} s")
    height, width = rgb.shape[:2]
    worker = segmora.Segmenter()
    report(f"{width} x {height}, segment", best_of(args.repeats, lambda: segmora.segment(rgb)))
    report("same, Segmenter.segment", best_of(args.repeats, lambda: worker.segment(rgb)))
    report("same, program + loadtxt",
           best_of(args.repeats, lambda: program_labels(args.program, args.big, csv)))

    def segment_on_two_threads():
        with ThreadPoolExecutor(2) as pool:
            list(pool.map(lambda k: segmora.segment(small[k]), chosen))

    report(f"{args.count} photos, segment",
           best_of(args.repeats, lambda: [segmora.segment(small[k]) for k in chosen]))
    report(f"{args.count} photos, segment, 2 threads",
           best_of(args.repeats, segment_on_two_threads))
    report(f"{args.count} photos, Segmenter.segment",
           best_of(args.repeats, lambda: [worker.segment(small[k]) for k in chosen]))

    # One Segmenter per thread, kept from run to run as a program would keep it; with out=
    # (builds that have it) each thread also keeps one labels array per photo size.
    workers = [segmora.Segmenter(1), segmora.Segmenter(1)]
    takes_out = "out" in inspect.signature(segmora.Segmenter.segment).parameters

    def segmenters_on_two_threads(with_out):
        def run(half):
            arrays = {}
            for k in chosen[half::2]:
                if not with_out:
                    workers[half].segment(small[k])
                    continue
                shape = small[k].shape[:2]
                if shape not in arrays:
                    arrays[shape] = np.empty(shape, np.int32)
                workers[half].segment(small[k], out=arrays[shape])
        with ThreadPoolExecutor(2) as pool:
            list(pool.map(run, [0, 1]))

    report(f"{args.count} photos, 2 threads, Segmenter each",
           best_of(args.repeats, lambda: segmenters_on_two_threads(False)))
    if takes_out:
        report(f"{args.count} photos, 2 threads, Segmenter+out",
               best_of(args.repeats, lambda: segmenters_on_two_threads(True)))
    report(f"{args.count} photos, program + loadtxt",
           best_of(args.repeats,
                   lambda: [program_labels(args.program, args.small[k], csv) for k in chosen]))


if __name__ == "__main__":
    main()
