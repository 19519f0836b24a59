"""Calls for scripts/memcheck to run under valgrind: good calls with and without regions
and knobs, every image kind, and calls that fail inside the module."""

import numpy as np

import segmora

rgb = np.zeros((60, 80, 3), np.uint8)
rgb[:, 40:] = 200
rgb[20:30, :, 1] = 90
labels, count = segmora.segment(rgb)
assert labels.max() == count
regions = np.arange(60 * 80, dtype=np.int64).reshape(60, 80) // 700
labels, count = segmora.segment(rgb[::-1], regions, threshold=300, sigma=0.5, min_size=10)
assert labels.max() == count
worker = segmora.Segmenter(threads=2)
for pixels in (rgb[..., 0], rgb.astype(np.uint16) * 257, rgb / 255.0, rgb[..., 1] > 100,
               np.dstack([rgb, rgb[..., :1]])):
    labels, count = worker.segment(pixels, regions.astype(np.float32), cap_divisor=40)
    assert labels.max() == count
worker.release()
tiled = segmora._segmora
image = tiled.TiledImage(80, 60, 32, 32, 500.0, 0.0, 40, 5, False)
sweep = tiled.FlatSweep(image)
sweep.add_rows(rgb[:25], None)
sweep = tiled.FlatSweep(image, sweep.state_bytes())
sweep.add_rows(rgb[25:] / 255.0, None)
swept = sweep.finish()
x, y, w, h = image.tile_read_rect(4)
tiled.segment_tile(image, 4, rgb[y:y + h, x:x + w], None, swept)
bad_calls = [
    lambda: tiled.FlatSweep(image, swept[:-9] + bytes(9)),
    lambda: tiled.FlatSweep(image).add_rows(rgb[:, :50], None),
    lambda: tiled.segment_tile(image, 4, rgb[y:y + h, x:x + w], None, swept[:-1]),
    lambda: segmora.segment(rgb, np.full((60, 80), 2**40)),
    lambda: segmora.segment(rgb, np.full((60, 80), 0.5, np.float32)),
    lambda: segmora.segment(rgb / 100.0),
    lambda: segmora.segment(rgb, threshold="x"),
    lambda: segmora.segment(rgb, cap_divisor=0),
    lambda: segmora.Segmenter(threads=99),
]
for bad in bad_calls:
    try:
        bad()
    except (ValueError, TypeError):
        pass
    else:
        raise AssertionError("no error")
del labels
