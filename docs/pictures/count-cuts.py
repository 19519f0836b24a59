"""Draws docs/pictures/count-cuts.png: samples/chelsea.png cut at several counts from one
hierarchy. Run with the built package on PYTHONPATH (build/python)."""
import numpy as np
from PIL import Image

import segmora

rgb = np.asarray(Image.open("samples/chelsea.png").convert("RGB"))
tree = segmora.hierarchy(rgb)
counts = [25, 100, 400, tree.default_count, 3000]
tiles = [segmora.boundaries(rgb, tree.cut(n)) for n in counts]
gap = np.full((rgb.shape[0], 6, 3), 255, np.uint8)
row = np.concatenate(sum(([t, gap] for t in tiles), [])[:-1], axis=1)
Image.fromarray(row).resize((row.shape[1] // 2, row.shape[0] // 2), Image.LANCZOS).save(
    "docs/pictures/count-cuts.png", optimize=True)
print("counts", counts, "finest", tree.finest_count, "coarsest", tree.coarsest_count)
