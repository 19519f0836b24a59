"""segment() on a Dask array: the image is segmented in tiles, one tile per chunk, with
exactly the labels of the whole photo in one piece.

The graph has four phases, whose results pass between tasks as bytes:
  0. a chain of sweep tasks, one per row of chunks, top to bottom: each feeds its row of
     chunks (concatenated along the width) to a FlatSweep carried on from the state bytes of
     the row above; the last gives the sweep's finish() bytes, which every tile takes (a
     flat area across seams then costs the join a segment per tile, not a record a pixel);
  1. a task per chunk: segment_tile on the chunk and a margin around it (the tile's read
     rectangle, sliced from the neighbouring chunks);
  2. one task for the image: join_tiles over every tile's join bytes (the edges the tiles
     could not decide, the superpixel count and each tile's numbering);
  3. a task per chunk again: label_tile, the tile's labels, one chunk of the result.
Each row of chunks is read by a copy of the input's graph that starts once the row above is
swept, and the tiles read theirs from one that starts once the sweep is done: the chunks
are computed twice, and no more than a row of them waits for the chain.

The library's tiles form a regular grid, so an array whose chunks are irregular is
rechunked first (to its largest chunk along each axis), and so is one whose chunks hold
more pixels than a tile may. The result has the chunks of the
tile grid. Nothing is computed here: errors found in the pixels (a region id out of range,
a float outside 0..1) are raised when the result is computed.

The label type: int32 when the count is sure to fit, int64 otherwise, known without
computing anything. Every superpixel of a whole image holds at least min_size pixels (the
clean-up absorbs smaller ones), so the count is at most pixels // min_size; when that bound
is below 2^31 the labels are int32, as numpy input gives, else int64. The join checks the
count against the type it was given and refuses one that does not fit.
"""

import uuid

import dask
import dask.array as da
from dask.graph_manipulation import bind
import numpy as np

from . import _segmora

_INT32_MAX = 2 ** 31 - 1
_PHOTO_KINDS = (np.uint8, np.uint16, np.bool_, np.float32, np.float64)


def segment(rgb, regions, threshold, sigma, cap_divisor, min_size, bit_depth, mask, out, count):
    """(labels, count), both Dask arrays (count of shape ()), for a photo or region ids of
    which one is a Dask array."""
    for name, value in (("mask", mask), ("out", out), ("count", count)):
        if value is not None:
            raise ValueError(f"segment: {name}= is not taken with a Dask array (the image is "
                             f"segmented in tiles); compute the array and give numpy input "
                             f"for {name}=")
    rgb = _photo(rgb, regions, bit_depth)
    height, width = rgb.shape[:2]
    ids = None if regions is None else _regions(regions, rgb)
    tile_height, tile_width = _tile_shape(rgb.chunks[:2], height, width)
    rgb = rgb.rechunk({0: tile_height, 1: tile_width})
    if ids is not None:
        ids = ids.rechunk(rgb.chunks[:2])
    image = _segmora.TiledImage(width, height, tile_width, tile_height, threshold, sigma,
                                cap_divisor, min_size, ids is not None)
    dtype = label_type(height * width, min_size)
    return _graph(image, rgb, ids, dtype)


def label_type(pixels, min_size):
    """The labels' type for an image of `pixels` pixels: int32 when the count is sure to fit."""
    most = max(pixels // max(int(min_size), 1), 1)
    return np.dtype(np.int32 if most <= _INT32_MAX else np.int64)


def _photo(rgb, regions, bit_depth):
    """The photo as a Dask array of (H, W) or (H, W, C) pixels, the channels in one chunk."""
    if not isinstance(rgb, da.Array):  # a Dask region map with numpy pixels
        rgb = np.asarray(rgb)
        plane = regions.chunks if regions.shape == rgb.shape[:2] else ("auto", "auto")
        rgb = da.from_array(rgb, chunks=plane + (-1,) * (rgb.ndim - 2))
    _known_shape(rgb, "rgb")
    if rgb.dtype not in _PHOTO_KINDS:
        raise TypeError(f"rgb must be uint8, uint16, bool, float32 or float64, not {rgb.dtype}")
    if not (rgb.ndim == 2 or (rgb.ndim == 3 and 1 <= rgb.shape[2] <= 4)):
        raise ValueError(f"rgb must have shape (H, W) or (H, W, C) with C from 1 to 4, not "
                         f"{rgb.shape}")
    if rgb.shape[0] == 0 or rgb.shape[1] == 0:
        raise ValueError(f"rgb must not be empty, its shape is {rgb.shape}")
    if rgb.dtype == np.uint16 and bit_depth < 16:
        rgb = da.minimum(rgb >> (bit_depth - 8), 255).astype(np.uint8)
    return rgb.rechunk({2: -1}) if rgb.ndim == 3 else rgb


def _known_shape(array, name):
    if isinstance(array, da.Array) and any(np.isnan(n) for n in array.shape):
        raise ValueError(f"{name} has chunks of unknown size, shape {array.shape}; give it "
                         f"{name}.compute_chunk_sizes() first")


def _regions(regions, rgb):
    """The region ids as a Dask array chunked as the photo."""
    if not isinstance(regions, da.Array):
        regions = np.asarray(regions)
    _known_shape(regions, "regions")
    if regions.dtype.kind not in "biuf":
        raise TypeError(f"regions must be of an integer kind, bool or whole floating-point "
                        f"numbers, not {regions.dtype}")
    if regions.shape != rgb.shape[:2]:
        raise ValueError(f"regions must have rgb's height and width {rgb.shape[:2]}, not "
                         f"{regions.shape}")
    return regions if isinstance(regions, da.Array) else da.from_array(regions, rgb.chunks[:2])


def _tile_size(chunks):
    """The tile size along one axis: the chunk size when the chunks are regular (all equal
    but a smaller last one), else the largest chunk, which the array is rechunked to."""
    first = chunks[0]
    if all(c == first for c in chunks[:-1]) and 0 < chunks[-1] <= first:
        return first
    return max(chunks)


def _tile_shape(chunks, height, width):
    """The tiles' height and width for the photo's chunks: halved while a tile would hold
    more pixels than the library takes in one piece."""
    tile_height, tile_width = (min(_tile_size(c), n) for c, n in zip(chunks, (height, width)))
    while tile_height * tile_width >= _segmora.MAX_TILE_PIXELS:
        if tile_height >= tile_width:
            tile_height = (tile_height + 1) // 2
        else:
            tile_width = (tile_width + 1) // 2
    return tile_height, tile_width


def _sweep(image, state, rgb, ids, last):
    """One row of chunks into the sweep carried on from `state` (None for the first row):
    the new state bytes, or the finish() bytes after the last row."""
    sweep = _segmora.FlatSweep(image) if state is None else _segmora.FlatSweep(image, state)
    step = max((_segmora.MAX_TILE_PIXELS - 1) // rgb.shape[1], 1)  # rows one call takes
    for top in range(0, rgb.shape[0], step):
        sweep.add_rows(rgb[top:top + step], None if ids is None else ids[top:top + step])
    return sweep.finish() if last else sweep.state_bytes()


def _first(image, tile, rgb, ids, sweep):
    return _segmora.segment_tile(image, tile, rgb, ids, sweep)


def _join(image, dtype, *joins):
    count, tables = _segmora.join_tiles(image, list(joins))
    if dtype == np.int32 and count > _INT32_MAX:
        raise ValueError(f"segment: {count} superpixels do not fit the int32 labels chosen "
                         f"for this image")
    return (count, *tables)


def _third(image, tile, labels, table, count, dtype):
    return _segmora.label_tile(image, tile, labels, table, count).astype(dtype, copy=False)


def _graph(image, rgb, ids, dtype):
    """The four phases over the tiles of `image`: (labels, count), both Dask arrays."""
    name = uuid.uuid4().hex
    tiles = range(image.tile_count)
    tops = sorted({image.tile_rect(tile)[1] for tile in tiles}) + [rgb.shape[0]]
    swept = None
    for row, (top, bottom) in enumerate(zip(tops, tops[1:])):
        pixels = (rgb[top:bottom], None if ids is None else ids[top:bottom])
        if swept is not None:  # read once the row above is swept, not all rows at once
            pixels = bind(pixels, swept, seed=f"{name}-{row}")
        swept = dask.delayed(_sweep)(image, swept, *pixels, bottom == rgb.shape[0],
                                     dask_key_name=f"segmora-sweep-{name}-{row}")
    # One layer, not the chain's hundreds: every tile's task would merge them all.
    swept = dask.optimize(swept)[0]
    rgb, ids = bind((rgb, ids), swept, seed=name)
    states = []
    for tile in tiles:
        x, y, w, h = image.tile_read_rect(tile)
        block = rgb[y:y + h, x:x + w]
        id_block = None if ids is None else ids[y:y + h, x:x + w]
        states.append(dask.delayed(_first, nout=2)(
            image, tile, block, id_block, swept, dask_key_name=f"segmora-tile-{name}-{tile}"))
    joined = dask.delayed(_join, nout=len(tiles) + 1)(
        image, dtype, *(s[0] for s in states), dask_key_name=f"segmora-join-{name}")
    # A Dask array, as the labels are: computed together, both go through one graph
    # optimisation. Collections optimised apart each run the tiles (optimisation fuses the
    # tasks of each under new names), so a Delayed count would run them twice.
    count = da.from_delayed(joined[0], shape=(), dtype=np.int64)
    rows = {}
    for tile in tiles:
        x, y, w, h = image.tile_rect(tile)
        labels = dask.delayed(_third)(image, tile, states[tile][1], joined[tile + 1],
                                      joined[0], dtype,
                                      dask_key_name=f"segmora-labels-{name}-{tile}")
        rows.setdefault(y, []).append(da.from_delayed(labels, shape=(h, w), dtype=dtype))
    return da.block([rows[y] for y in sorted(rows)]), count
