"""Quality of a cut at N against the one-pass run whose knobs give N (the cap divisor chosen
for it), on the bench photos (explained variation) and the samples with truths (explained
variation and boundary recall, tolerance 2). Run with the built package on PYTHONPATH:
    PYTHONPATH=build/python python3 bench/count_quality.py PHOTO...
Prints a Markdown table: one row per photo and cap divisor."""
import os
import sys

import numpy as np
from PIL import Image

import segmora

SAMPLES = os.path.join(os.path.dirname(__file__), "..", "samples")


def truths_of(path):
    name = os.path.splitext(os.path.basename(path))[0]
    folder = os.path.join(SAMPLES, "truths")
    files = sorted(f for f in os.listdir(folder) if f.startswith(name + "_") and f.endswith(".png"))
    return [np.asarray(Image.open(os.path.join(folder, f))).astype(np.int32) for f in files]


def main(paths):
    print("| photo | cap divisor | N | EV run | EV cut | BR run | BR cut |")
    print("|---|---|---|---|---|---|---|")
    for path in paths:
        rgb = np.asarray(Image.open(path).convert("RGB"))
        tree = segmora.hierarchy(rgb)
        truths = truths_of(path)
        for divisor in (100, 200, 1000, 2000):
            labels, n = segmora.segment(rgb, cap_divisor=divisor)
            if not tree.coarsest_count <= n <= tree.finest_count:
                continue
            cut = tree.cut(n)
            run_m = segmora.evaluate(labels, truths or [labels], rgb)
            cut_m = segmora.evaluate(cut, truths or [labels], rgb)
            br = (f"{run_m['boundary_recall']:.3f} | {cut_m['boundary_recall']:.3f}"
                  if truths else "- | -")
            print(f"| {os.path.basename(path)} | {divisor} | {n} | "
                  f"{run_m['explained_variation']:.3f} | {cut_m['explained_variation']:.3f} | {br} |")


if __name__ == "__main__":
    main(sys.argv[1:])
