"""Superpixels of colour photos.

    labels, count = segmora.segment(rgb)            # rgb: an image array (H, W, 3), RGB
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
label 0 is background, so a 0-based segmentation is passed as labels + 1.

Superpixel quality against ground truth: segmora.evaluate(labels, truths, rgb)
gives boundary recall and precision, undersegmentation error, achievable
segmentation accuracy, explained variation and compactness (docs/evaluation.md).
"""

import inspect
import operator

from . import _segmora
from ._segmora import __version__
from ._segmora import Graph

__all__ = ["Segmenter", "segment", "__version__", "Graph", "graph", "mean_picture", "boundaries",
           "evaluate"]

# PIL modes whose arrays are not grey, RGB or RGBA values: PIL converts them first.
_PIL_CONVERSIONS = {"P": "RGBA", "PA": "RGBA", "CMYK": "RGB", "YCbCr": "RGB",
                    "LAB": "RGB", "HSV": "RGB"}


def _pixels(rgb):
    """A PIL image in a mode whose values are not colours becomes an RGB(A) one."""
    mode = getattr(rgb, "mode", None)
    if type(rgb).__module__.startswith("PIL.") and mode in _PIL_CONVERSIONS:
        return rgb.convert(_PIL_CONVERSIONS[mode])
    return rgb


# The photo defaults, as the compiled core has them from the library.
_THRESHOLD = _segmora.DEFAULT_THRESHOLD
_SIGMA = _segmora.DEFAULT_SIGMA
_MIN_SIZE = _segmora.DEFAULT_MIN_SIZE

_SEGMENT_HELP = """segment{signature}
        -> (labels, count)

    Divides a photo into superpixels, exactly as the Segmora program does.

    rgb: an image as numpy.asarray gives it (a NumPy array, a PIL image...), of
        shape (H, W) or (H, W, 1) for grey, (H, W, 2) for grey and alpha,
        (H, W, 3) for red-green-blue, (H, W, 4) for RGBA; any strides. uint8 is
        taken as it is; uint16 keeps its high byte (value >> 8), as the program
        reads a 16-bit file; bool is 0 or 255; float32 and float64 must lie in
        0..1 and are multiplied by 255 and rounded. Grey is copied to the three
        colours and alpha is dropped, as the program reads such files.
    regions: optional array of shape (H, W), one region id per pixel: any
        integer kind, bool, or whole floating-point numbers, all in the int32
        range. Two superpixels merge only when their ids are equal.
    threshold: merge threshold, a number >= 0; it refines within the scale that
        cap_divisor sets: lower splits further.
    sigma: Gaussian smoothing of the channels before the edges, 0 to 100 (0: none).
    cap_divisor: sets the scale: a superpixel holds at most
        pixels / cap_divisor + 20 pixels (so about cap_divisor or more of them); a
        whole number >= 1, or None for the photo default ({photo_cap_divisors}).
    min_size: superpixels below this many pixels are absorbed by a neighbour; a
        whole number >= 0.
    mask: optional array of shape (H, W), True (or 1) where the photo is to be
        segmented: bool, or numbers that are each 0 or 1. Pixels outside get label
        0; no superpixel crosses the mask's edge, and an inside pixel without inside
        neighbours is a superpixel of its own; the size cap still counts every
        pixel. A mask with no pixel inside gives count 0 and all labels 0.
    out: optional array for the labels, as in NumPy's functions: a writeable,
        C-contiguous int32 array of shape (H, W). The labels are written into it
        and it is returned as labels, so a series of photos of one size needs no
        new array for each (with Segmenter, no fresh memory at all).

    Returns labels, a numpy int32 array of shape (H, W) with values 1 .. count,
    numbered in raster order of each superpixel's first pixel (the numbers the
    program writes to its label file; 0 outside a mask), and count, the number of
    superpixels.

    Raises TypeError for an argument of the wrong kind or an unknown keyword,
    ValueError for a wrong shape, an empty photo, a value out of range,
    MemoryError when memory runs out. The GIL is released while the engine works.
    """


def segment(rgb, regions=None, *, threshold=_THRESHOLD, sigma=_SIGMA, cap_divisor=None,
            min_size=_MIN_SIZE, mask=None, out=None):
    return _segmora.segment(_pixels(rgb), regions, threshold, sigma, cap_divisor, min_size, out,
                            mask)


class Segmenter:
    """Segmenter(threads=0)

    A worker for many photos: segment() as the module's function, but the engine's
    buffers and the copy of the photo stay allocated from one call to the next, so
    a series of photos does not touch fresh memory for each. release() gives them
    back; so does the object's end. threads: threads inside one call, 0 to 64 (0:
    one per core, at most 8); the labels never depend on it. Threads may share a
    Segmenter (their calls take turns); one Segmenter per thread lets them work
    side by side.
    """

    __slots__ = ("_core",)

    def __init__(self, threads=0):
        self._core = _segmora.Segmenter(threads)

    @property
    def threads(self):
        """The thread count given when the Segmenter was made."""
        return self._core.threads

    def segment(self, rgb, regions=None, *, threshold=_THRESHOLD, sigma=_SIGMA, cap_divisor=None,
                min_size=_MIN_SIZE, mask=None, out=None):
        return self._core.segment(_pixels(rgb), regions, threshold, sigma, cap_divisor,
                                  min_size, out, mask)

    def release(self):
        """Gives back the buffers kept since the last call."""
        self._core.release()


segment.__doc__ = _SEGMENT_HELP.format(
    signature=inspect.signature(segment),
    photo_cap_divisors=(f"{_segmora.PHOTO_CAP_DIVISOR}, or "
                        f"{_segmora.PHOTO_CAP_DIVISOR_WITH_REGIONS} with regions"))
Segmenter.segment.__doc__ = segment.__doc__


def graph(labels, rgb=None):
    """graph(labels, rgb=None) -> Graph

    The superpixels of a label array and which of them touch, in one pass.

    labels: array of shape (H, W) of whole numbers from 0 to 2^31 - 1, of any
        integer kind, bool, or whole float32/float64 numbers (the kinds segment
        takes for regions); N is the largest. Label 0 is background: it gets no
        row, no edges and counts in no mean, so a 0-based segmentation is passed
        as labels + 1. Labels no pixel carries get size 0 and NaN centroid and
        colour. N may be at most max(H * W, 2^20).
    rgb: optional image of the labels' size, for the mean colours: any image
        segment takes (a NumPy array or a PIL image; grey, grey and alpha, RGB,
        RGBA; uint8, uint16, bool, float in 0..1), brought to 8-bit RGB as
        segment does. A photo without pixels is taken here.

    The result's arrays, row k for label k + 1:
        size        (N,) int64        pixels
        centroid    (N, 2) float64    mean (row, col), from 0
        bbox        (N, 4) int64      (min_row, min_col, max_row + 1, max_col + 1)
        mean_color  (N, 3) float64    mean red, green and blue (0..255) of the
                                      8-bit pixels; None without rgb
        edges       (E, 2) int32      label pairs 0 < a < b whose pixels are
                                      8-neighbours, sorted
        border      (E,) int64        neighbouring pixel pairs (p, q), p in a, q in b

    Raises TypeError and ValueError with the words segment uses for rgb, and for
    labels of another kind (TypeError), shape or value (ValueError). The GIL is
    released while the labels are read.
    """
    return _segmora.graph(labels, None if rgb is None else _pixels(rgb))


def mean_picture(labels, rgb):
    """mean_picture(labels, rgb) -> uint8 array (H, W, 3)

    The photo in 8-bit RGB with every pixel replaced by the mean colour of its
    superpixel, rounded to the nearest whole number, and background (label 0)
    black; labels and rgb as for graph().
    """
    return _segmora.mean_picture(labels, None if rgb is None else _pixels(rgb))


def _colour(value, name):
    """`value` as three whole numbers 0..255 (red, green, blue)."""
    try:
        parts = [operator.index(v) for v in value]
    except TypeError:
        raise TypeError(f"{name} must be three whole numbers (red, green, blue)") from None
    if len(parts) != 3 or any(not 0 <= v <= 255 for v in parts):
        raise ValueError(f"{name} must be three whole numbers from 0 to 255, not {value!r}")
    return parts


def boundaries(rgb, labels, regions=None, *, colour=(0, 255, 0), region_colour=(255, 0, 255),
               mode="thin"):
    """boundaries(rgb, labels, regions=None, *, colour=(0, 255, 0),
               region_colour=(255, 0, 255), mode="thin") -> uint8 array (H, W, 3)

    The photo in 8-bit RGB with the superpixel boundaries drawn over it: the
    pixels of the programs' -v picture with the same options.

    rgb: any image segment takes, brought to 8-bit RGB as segment does.
    labels: array (H, W) of whole numbers in the int32 range (any integer kind,
        bool, whole floats); only which pixels share a value matters.
    regions: optional map of the same size and kinds; its boundaries are drawn
        in region_colour and win over the superpixels'.
    colour, region_colour: (red, green, blue), whole numbers 0..255
        (--boundary-colour and --region-colour).
    mode: "thin" paints the pixel above or left of each boundary (one pixel
        wide); "thick" paints both sides (--boundary-mode).

    Raises TypeError and ValueError as segment does for its arguments.
    """
    if mode not in ("thin", "thick"):
        raise ValueError(f"mode must be 'thin' or 'thick', not {mode!r}")
    return _segmora.boundaries(_pixels(rgb), labels, regions, _colour(colour, "colour"),
                               _colour(region_colour, "region_colour"), mode == "thick")


def evaluate(labels, truth_or_list, rgb=None, tolerance=2, ignore_zero=False):
    """evaluate(labels, truth_or_list, rgb=None, tolerance=2, ignore_zero=False) -> dict

    Scores the superpixels `labels` against one ground truth or a list of them,
    with the definitions of docs/evaluation.md; with several truths each measure
    is the mean over them.

    labels, truths: arrays of shape (H, W) of any integer kind, bool, or whole
        floating-point numbers, all in the int32 range; only which pixels share
        a label counts.
    rgb: the photo, of any kind segment() takes, for the explained variation
        (NaN without it).
    tolerance: boundary pixels at most this many pixels apart (the larger of the
        row and column distances) match; a whole number >= 0.
    ignore_zero: label 0 in a truth marks unlabelled pixels, left out of the
        truth's side of every measure.

    Returns a dict of floats: boundary_recall, boundary_precision,
    undersegmentation_error, achievable_segmentation_accuracy,
    explained_variation, compactness, count (distinct labels) and truths (how
    many were averaged). Raises TypeError and ValueError as segment() does.
    """
    return _segmora.evaluate(labels, truth_or_list, _pixels(rgb) if rgb is not None else None,
                             tolerance, ignore_zero)
