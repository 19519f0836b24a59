"""Superpixels of colour photos.

    labels, count = segmora.segment(rgb)            # rgb: an image array (H, W, 3), RGB
    labels, count = segmora.segment("photo.jpg")    # a file, decoded as the programs do
    labels, count = segmora.segment(rgb, regions)   # regions: integer array (H, W)
    labels, count = segmora.segment(rgb, threshold=300, sigma=0.5, min_size=10)
    labels, count = segmora.segment(rgb, mask=inside)   # inside: bool (H, W); 0 outside

labels is an int32 array of shape (H, W) holding 1 .. count, numbered in raster
order of each superpixel's first pixel: the labels the Segmora program writes.

For many photos, segmora.Segmenter() keeps its buffers from one call to the next:

    worker = segmora.Segmenter()
    for rgb in photos:
        labels, count = worker.segment(rgb)

and with out= it writes the labels into an array of yours instead of a new one:

    labels = numpy.empty((H, W), numpy.int32)
    for rgb in photos:                              # all H x W
        labels, count = worker.segment(rgb, out=labels)

The superpixel graph: g = segmora.graph(labels, rgb) gives g.size, g.centroid,
g.bbox, g.mean_color, g.edges and g.border as numpy arrays (see help(segmora.graph));
label 0 is background unless background=None says every value is a label.

Superpixel quality against ground truth: segmora.evaluate(labels, truths, rgb)
gives boundary recall and precision, undersegmentation error, achievable
segmentation accuracy, explained variation and compactness (docs/evaluation.md).
"""

import ast as _ast
import numbers as _numbers
import operator as _operator
import os as _os
import warnings as _warnings

import numpy as _np

from . import _segmora
from ._segmora import __version__
from ._segmora import Graph

__all__ = ["Segmenter", "segment", "__version__", "Graph", "graph", "mean_picture", "boundaries",
           "evaluate", "hierarchy", "Hierarchy"]

# PIL modes whose arrays are not grey, RGB or RGBA values: PIL converts them first.
_PIL_CONVERSIONS = {"P": "RGBA", "PA": "RGBA", "CMYK": "RGB", "YCbCr": "RGB",
                    "LAB": "RGB", "HSV": "RGB"}


def _pixels(rgb, bit_depth=16, name="rgb"):
    """The photo as the compiled core takes it: a path read by the programs' decoder, a PIL
    image in a mode whose values are not colours made RGB(A), 16-bit samples of `bit_depth`
    significant bits brought to 8 bits (value >> (bit_depth - 8), at most 255)."""
    bit_depth = _bit_depth(bit_depth)
    if isinstance(rgb, (str, bytes, _os.PathLike)):
        return _segmora.read_photo(_os.fsdecode(rgb), bit_depth)
    _not_a_pair(rgb, name)
    mode = getattr(rgb, "mode", None)
    if type(rgb).__module__.startswith("PIL.") and mode in _PIL_CONVERSIONS:
        return rgb.convert(_PIL_CONVERSIONS[mode])
    dtype = getattr(rgb, "dtype", None)
    if dtype is None or _np.dtype(dtype) != _np.uint16:
        return rgb
    array = _np.asarray(rgb)
    if bit_depth < 16:
        return _np.minimum(array >> (bit_depth - 8), 255).astype(_np.uint8)
    largest = int(array.max()) if array.size else 0
    if 0 < largest < 4096:
        _warnings.warn(
            f"{name} is uint16 with values up to {largest}: bringing it to 8 bits keeps the "
            f"high byte (value >> 8), {(largest >> 8) + 1} grey levels at most; if the data "
            f"has {max(8, largest.bit_length())} bits, give bit_depth="
            f"{max(8, largest.bit_length())}", UserWarning, stacklevel=3)
    return array


def _bit_depth(value):
    if isinstance(value, bool) or not isinstance(value, _numbers.Integral):
        raise TypeError(f"bit_depth must be a whole number from 8 to 16, not {value!r}")
    if not 8 <= value <= 16:
        raise ValueError(f"bit_depth must be a whole number from 8 to 16, not {value!r}")
    return int(value)


def _not_a_pair(value, name):
    """Refuses the (labels, count) pair that segment returns where an array is wanted."""
    if (isinstance(value, tuple) and len(value) == 2 and isinstance(value[0], _np.ndarray)
            and isinstance(value[1], _numbers.Integral)):
        raise TypeError(f"{name} is a (labels, count) pair as segment returns it; pass its "
                        f"labels: labels, count = segmora.segment(rgb)")


def _regions(regions):
    """Refuses a knob given by position, which would land on regions."""
    if isinstance(regions, (_numbers.Number, _np.generic)) or (
            isinstance(regions, _np.ndarray) and regions.ndim == 0):
        raise TypeError(f"segment: regions must be an array (H, W) of region ids, not the "
                        f"number {regions!r}; the knobs are keywords, as in "
                        f"segment(rgb, threshold={regions!r})")
    _not_a_pair(regions, "regions")
    return regions


class _Background(int):
    """background's default, 0, told apart from a 0 the caller gives."""

    def __repr__(self):
        return "0"


_BACKGROUND = _Background(0)


def _labels(labels, background, name):
    """The labels as the core takes them (label 0 is background there): a 0-based map
    (background=None) is moved up by one; a map whose label 0 would go unseen by default
    gets a warning."""
    _not_a_pair(labels, "labels")
    if background is None:
        array = _np.asarray(labels)
        if array.dtype.kind in "biu":
            array = array.astype(_np.int64)
        return array + 1
    if isinstance(background, bool) or background != 0:
        raise ValueError(f"{name}: background must be 0 or None, not {background!r}")
    if background is _BACKGROUND:
        array = _np.asarray(labels)
        zeros = int(_np.count_nonzero(array == 0)) if array.dtype.kind in "biuf" else 0
        if zeros:
            _warnings.warn(
                f"{name}: label 0 covers {zeros} of {array.size} pixels, which count as "
                f"background; if your labels start at 0, give background=None (every value a "
                f"label); background=0 says they are background", UserWarning, stacklevel=3)
    return labels


# The photo defaults, as the compiled core has them from the library.
_THRESHOLD = _segmora.DEFAULT_THRESHOLD
_SIGMA = _segmora.DEFAULT_SIGMA
_MIN_SIZE = _segmora.DEFAULT_MIN_SIZE



def _is_dask_array(value):
    """Whether `value` is a Dask array, told without importing Dask (which the package does
    not need otherwise)."""
    return type(value).__module__.startswith("dask.array.") and hasattr(value, "chunks")


def _segment_with(core, rgb, regions, threshold, sigma, cap_divisor, min_size, bit_depth, mask,
                  out, count):
    """segment() by the compiled `core` (the module's or a Segmenter's), or in tiles over the
    chunks when the photo or the regions are a Dask array: then (labels, count) are lazy."""
    if _is_dask_array(rgb) or _is_dask_array(regions):
        from . import _dask_segment
        return _dask_segment.segment(rgb, _regions(regions), threshold, sigma, cap_divisor,
                                     min_size, _bit_depth(bit_depth), mask, out, count)
    return core(_pixels(rgb, bit_depth), _regions(regions), threshold, sigma, cap_divisor,
                min_size, out, mask, count)


def segment(rgb, regions=None, *, threshold=_THRESHOLD, sigma=_SIGMA, cap_divisor=None,
            min_size=_MIN_SIZE, bit_depth=16, mask=None, out=None, count=None):
    return _segment_with(_segmora.segment, rgb, regions, threshold, sigma, cap_divisor, min_size,
                         bit_depth, mask, out, count)


class Segmenter:
    __slots__ = ("_core",)

    def __init__(self, threads=0):
        self._core = _segmora.Segmenter(threads)

    @property
    def threads(self):
        """The thread count given when the Segmenter was made."""
        return self._core.threads

    def segment(self, rgb, regions=None, *, threshold=_THRESHOLD, sigma=_SIGMA, cap_divisor=None,
                min_size=_MIN_SIZE, bit_depth=16, mask=None, out=None, count=None):
        return _segment_with(self._core.segment, rgb, regions, threshold, sigma, cap_divisor,
                             min_size, bit_depth, mask, out, count)

    def release(self):
        """Gives back the buffers kept since the last call."""
        self._core.release()


def graph(labels, rgb=None, *, background=_BACKGROUND):
    g = _segmora.graph(_labels(labels, background, "graph"),
                       None if rgb is None else _pixels(rgb))
    if background is None:
        g.edges[...] -= 1
    return g


def mean_picture(labels, rgb, *, background=_BACKGROUND):
    return _segmora.mean_picture(_labels(labels, background, "mean_picture"),
                                 None if rgb is None else _pixels(rgb))


def _colour(value, name):
    """`value` as three whole numbers 0..255 (red, green, blue)."""
    try:
        parts = [_operator.index(v) for v in value]
    except TypeError:
        raise TypeError(f"{name} must be three whole numbers (red, green, blue)") from None
    if len(parts) != 3 or any(not 0 <= v <= 255 for v in parts):
        raise ValueError(f"{name} must be three whole numbers from 0 to 255, not {value!r}")
    return parts


def boundaries(rgb, labels, regions=None, *, colour=(0, 255, 0), region_colour=(255, 0, 255),
               mode="thin"):
    if mode not in ("thin", "thick"):
        raise ValueError(f"mode must be 'thin' or 'thick', not {mode!r}")
    _not_a_pair(labels, "labels")
    return _segmora.boundaries(_pixels(rgb), labels, regions, _colour(colour, "colour"),
                               _colour(region_colour, "region_colour"), mode == "thick")


def evaluate(labels, truth_or_list, rgb=None, tolerance=2, ignore_zero=False):
    _not_a_pair(labels, "labels")
    return _segmora.evaluate(labels, truth_or_list, _pixels(rgb) if rgb is not None else None,
                             tolerance, ignore_zero)


def hierarchy(rgb, regions=None, *, threshold=_THRESHOLD, sigma=_SIGMA, cap_divisor=None,
              min_size=_MIN_SIZE, bit_depth=16, mask=None):
    return _segmora.hierarchy(_pixels(rgb, bit_depth), _regions(regions), threshold, sigma,
                              cap_divisor, min_size, mask)


Hierarchy = _segmora.Hierarchy


def _documentation():
    """The docstrings of the stub beside this file (__init__.pyi, which editors read), by
    name, so that help() shows the same text."""
    try:
        with open(_os.path.join(_os.path.dirname(__file__), "__init__.pyi"), encoding="utf-8") as f:
            tree = _ast.parse(f.read())
    except OSError:
        return {}
    return {node.name: _ast.get_docstring(node, clean=False) for node in tree.body
            if isinstance(node, (_ast.FunctionDef, _ast.ClassDef))}


for _name, _doc in _documentation().items():
    if _name in __all__ and _name != "Graph":  # the compiled Graph carries its own
        globals()[_name].__doc__ = _doc
Segmenter.segment.__doc__ = segment.__doc__
del _name, _doc
