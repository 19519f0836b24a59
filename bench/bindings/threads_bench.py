"""Photos per second of segmora from Python on two threads, for comparing builds run in
turn: prints one line per way, the time of each repeat.

usage: threads_bench.py PHOTO.ppm... --repeats N --count N
Each line: WAY, the wall seconds of each repeat, "cpu", the processor seconds of each.
Ways: segmora.segment on two threads; one Segmenter per thread; the same with out= (builds
that have it).
"""

import argparse
import inspect
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import segmora
from bindings_bench import read_ppm


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("photos", nargs="+")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--count", type=int, default=200)
    args = parser.parse_args()
    small = [read_ppm(p) for p in args.photos]
    chosen = [k % len(small) for k in range(args.count)]
    workers = [segmora.Segmenter(1), segmora.Segmenter(1)]
    arrays = [{}, {}]

    def module_function(half):
        for k in chosen[half::2]:
            segmora.segment(small[k])

    def segmenter(half):
        for k in chosen[half::2]:
            workers[half].segment(small[k])

    def segmenter_out(half):
        for k in chosen[half::2]:
            shape = small[k].shape[:2]
            out = arrays[half].setdefault(shape, np.empty(shape, np.int32))
            workers[half].segment(small[k], out=out)

    ways = {"segment": module_function, "Segmenter": segmenter}
    if "out" in inspect.signature(segmora.Segmenter.segment).parameters:
        ways["Segmenter+out"] = segmenter_out
    for name, way in ways.items():
        times, cpu = [], []
        for _ in range(args.repeats):
            start, start_cpu = time.perf_counter(), time.process_time()
            with ThreadPoolExecutor(2) as pool:
                list(pool.map(way, [0, 1]))
            times.append(time.perf_counter() - start)
            cpu.append(time.process_time() - start_cpu)
        # wall seconds of each repeat, then "cpu" and the process's processor seconds of each
        print(name, " ".join(f"{t:.3f}" for t in times), "cpu", " ".join(f"{t:.3f}" for t in cpu))


if __name__ == "__main__":
    main()
