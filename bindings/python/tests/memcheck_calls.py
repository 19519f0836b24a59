"""Calls for scripts/memcheck to run under valgrind: good calls with and without
regions, and calls that fail inside the module."""

import numpy as np

import segmora

rgb = np.zeros((60, 80, 3), np.uint8)
rgb[:, 40:] = 200
rgb[20:30, :, 1] = 90
labels, count = segmora.segment(rgb)
assert labels.max() == count
regions = np.arange(60 * 80, dtype=np.int64).reshape(60, 80) // 700
labels, count = segmora.segment(rgb[::-1], regions)
assert labels.max() == count
for bad in (np.full((60, 80), 2**40), np.zeros((60, 80), np.float32)):
    try:
        segmora.segment(rgb, bad)
    except (ValueError, TypeError):
        pass
    else:
        raise AssertionError("no error")
del labels
