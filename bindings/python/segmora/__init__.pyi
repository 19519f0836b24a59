"""Superpixels of colour photos: segment(), Segmenter, graph(), mean_picture(),
boundaries() and evaluate(). This stub holds the package's documentation: help() in
Python and the hints of editors show the same text."""

import os as _os
from typing import Optional as _Optional
from typing import Sequence as _Sequence
from typing import Tuple as _Tuple
from typing import Union as _Union

import numpy as _np
import numpy.typing as _npt

__all__ = ["Segmenter", "segment", "__version__", "Graph", "graph", "mean_picture",
           "boundaries", "evaluate"]

__version__: str

_Photo = _Union[_npt.ArrayLike, str, bytes, "_os.PathLike[str]", "_os.PathLike[bytes]"]

def segment(
    rgb: _Photo,
    regions: _Optional[_npt.ArrayLike] = None,
    *,
    threshold: float = 500.0,
    sigma: float = 0.0,
    cap_divisor: _Optional[int] = None,
    min_size: int = 5,
    bit_depth: int = 16,
    mask: _Optional[_npt.ArrayLike] = None,
    out: _Optional[_npt.NDArray[_np.int32]] = None,
    count: _Optional[int] = None,
) -> _Tuple[_npt.NDArray[_np.int32], int]:  # Dask input: two dask.array.Array
    """segment(rgb, regions=None, *, threshold=500.0, sigma=0.0, cap_divisor=None,
            min_size=5, bit_depth=16, mask=None, out=None, count=None) -> (labels, count)

    Divides a photo into superpixels, exactly as the Segmora program does.

    rgb: a photo file's path (str, bytes or os.PathLike), decoded as the
        programs decode it (turned upright by its recorded orientation), or an
        image as numpy.asarray gives it (a NumPy array, a PIL image...), of
        shape (H, W) or (H, W, 1) for grey, (H, W, 2) for grey and alpha,
        (H, W, 3) for red-green-blue, (H, W, 4) for RGBA; any strides. uint8 is
        taken as it is; uint16 is brought to 8 bits as bit_depth says; bool is
        0 or 255; float32 and float64 must lie in 0..1 and are multiplied by 255
        and rounded. Grey is copied to the three colours and alpha is dropped,
        as the program reads such files.
    regions: optional array of shape (H, W), one region id per pixel: any
        integer kind, bool, or whole floating-point numbers, all in the int32
        range. Two superpixels merge only when their ids are equal. The knobs
        below are keywords: segment(rgb, threshold=300), not segment(rgb, 300).
    threshold: merge threshold, a number >= 0; it refines within the scale that
        cap_divisor sets: lower splits further.
    sigma: Gaussian smoothing of the channels before the edges, 0 to 100 (0: none).
    cap_divisor: sets the scale: merging stops making superpixels larger than
        pixels / cap_divisor + 20 pixels (a limit on merging; the clean-up of
        small ones may pass it, and the count depends on the photo's size and
        texture, see docs/knobs.md); a whole number >= 1, or None for the
        photo default (500, or 3000 with regions).
    min_size: superpixels below this many pixels are absorbed by a neighbour; a
        whole number >= 0. It drives the count most: see docs/knobs.md.
    bit_depth: how many bits of 16-bit samples hold the data, 8 to 16: they
        become value >> (bit_depth - 8), at most 255 (the programs'
        --bit-depth). 16, the default, keeps the high byte as the programs read
        a 16-bit file; 12-bit data stored in 16 bits wants 12. 8-bit and
        floating-point photos are not affected. 16-bit data that uses only its
        low 12 bits or fewer at the default gets a UserWarning.
    mask: optional array of shape (H, W), True (or 1) where the photo is to be
        segmented: bool, or numbers that are each 0 or 1. Pixels outside get label
        0; no superpixel crosses the mask's edge, and an inside pixel without inside
        neighbours is a superpixel of its own; the size cap still counts every
        pixel. A mask with no pixel inside gives count 0 and all labels 0.
    count: exactly this many superpixels, cut from the run the other knobs make
        (see hierarchy()); a whole number within the run's range, or None.
    out: optional array for the labels, as in NumPy's functions: a writeable,
        C-contiguous int32 array of shape (H, W). The labels are written into it
        and it is returned as labels, so a series of photos of one size needs no
        new array for each (with Segmenter, no fresh memory at all).

    Returns labels, a numpy int32 array of shape (H, W) with values 1 .. count,
    numbered in raster order of each superpixel's first pixel (the numbers the
    program writes to its label file; 0 outside a mask), and count, the number of superpixels.

    Raises TypeError for an argument of the wrong kind or an unknown keyword,
    ValueError for a wrong shape, an empty photo, a value out of range, OSError
    for a photo file that cannot be read, MemoryError when memory runs out.
    The GIL is released while the engine works.

    A Dask array as rgb (or regions) gives lazy results with the same labels:
    labels, a Dask array of shape (H, W) computed chunk by chunk after a sweep
    over the rows of chunks (the chunks are the tiles, rechunked to a regular grid
    when they are not one), and count, a Dask array of shape () that computes to an int;
    compute them together: dask.compute(labels, count). The labels are int32
    unless H * W // min_size passes 2^31 - 1, then int64. Smoothing works as for numpy;
    mask, count and out are refused (ValueError). What only the pixels show is
    raised when the labels are computed. Dask is imported only for such input
    (docs/python.md).
    """
    ...

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
    def __init__(self, threads: int = 0) -> None: ...
    @property
    def threads(self) -> int:
        """The thread count given when the Segmenter was made."""
        ...
    def segment(
        self,
        rgb: _Photo,
        regions: _Optional[_npt.ArrayLike] = None,
        *,
        threshold: float = 500.0,
        sigma: float = 0.0,
        cap_divisor: _Optional[int] = None,
        min_size: int = 5,
        bit_depth: int = 16,
        mask: _Optional[_npt.ArrayLike] = None,
        out: _Optional[_npt.NDArray[_np.int32]] = None,
        count: _Optional[int] = None,
    ) -> _Tuple[_npt.NDArray[_np.int32], int]:
        """As segmora.segment(), with the Segmenter's buffers kept for the next call."""
        ...
    def release(self) -> None:
        """Gives back the buffers kept since the last call."""
        ...

class Graph:
    """The superpixel graph of a label array (see graph())."""
    @property
    def count(self) -> int:
        """N, the rows: the largest label (one more with background=None)."""
        ...
    @property
    def size(self) -> _npt.NDArray[_np.int64]:
        """(N,) pixels of each label."""
        ...
    @property
    def centroid(self) -> _npt.NDArray[_np.float64]:
        """(N, 2) mean (row, col) of each label's pixels, from 0."""
        ...
    @property
    def bbox(self) -> _npt.NDArray[_np.int64]:
        """(N, 4) (min_row, min_col, max_row + 1, max_col + 1)."""
        ...
    @property
    def mean_color(self) -> _Optional[_npt.NDArray[_np.float64]]:
        """(N, 3) mean red, green and blue (0..255); None without rgb."""
        ...
    @property
    def edges(self) -> _npt.NDArray[_np.int32]:
        """(E, 2) label pairs a < b whose pixels are 8-neighbours, sorted."""
        ...
    @property
    def border(self) -> _npt.NDArray[_np.int64]:
        """(E,) neighbouring pixel pairs of each edge."""
        ...

def graph(labels: _npt.ArrayLike, rgb: _Optional[_Photo] = None, *,
          background: _Optional[int] = 0) -> Graph:
    """graph(labels, rgb=None, *, background=0) -> Graph

    The superpixels of a label array and which of them touch, in one pass.

    labels: array of shape (H, W) of whole numbers from 0 to 2^31 - 1, of any
        integer kind, bool, or whole float32/float64 numbers (the kinds segment
        takes for regions); N is the largest. Label 0 is background: it gets no
        row, no edges and counts in no mean; when some pixels carry 0 and
        background is not given, a UserWarning says how many. Labels no pixel
        carries get size 0 and NaN centroid and colour. N may be at most
        max(H * W, 2^20). The (labels, count) pair segment returns is refused:
        pass its labels.
    rgb: optional image of the labels' size, for the mean colours: any image
        segment takes (a NumPy array or a PIL image; grey, grey and alpha, RGB,
        RGBA; uint8, uint16, bool, float in 0..1), brought to 8-bit RGB as
        segment does. A photo without pixels is taken here.
    background: 0 (label 0 is background, as above) or None: every value is
        a label, as in a 0-based segmentation from another library; then row
        k is label k and edges hold the labels as given.

    The result's arrays, row k for label k + 1 (label k with background=None):
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
    ...

def mean_picture(labels: _npt.ArrayLike, rgb: _Photo, *,
                 background: _Optional[int] = 0) -> _npt.NDArray[_np.uint8]:
    """mean_picture(labels, rgb, *, background=0) -> uint8 array (H, W, 3)

    The photo in 8-bit RGB with every pixel replaced by the mean colour of its
    superpixel, rounded to the nearest whole number, and background (label 0)
    black; labels, rgb and background as for graph() (background=None: no pixel
    is black for being label 0).
    """
    ...

def boundaries(
    rgb: _Photo,
    labels: _npt.ArrayLike,
    regions: _Optional[_npt.ArrayLike] = None,
    *,
    colour: _Sequence[int] = (0, 255, 0),
    region_colour: _Sequence[int] = (255, 0, 255),
    mode: str = "thin",
) -> _npt.NDArray[_np.uint8]:
    """boundaries(rgb, labels, regions=None, *, colour=(0, 255, 0),
               region_colour=(255, 0, 255), mode="thin") -> uint8 array (H, W, 3)

    The photo in 8-bit RGB with the superpixel boundaries drawn over it: the
    pixels of the programs' -v picture with the same options.

    rgb: any image segment takes, brought to 8-bit RGB as segment does.
    labels: array (H, W) of whole numbers in the int32 range (any integer kind,
        bool, whole floats); only which pixels share a value matters, so 0 is a
        label like any other here.
    regions: optional map of the same size and kinds; its boundaries are drawn
        in region_colour and win over the superpixels'.
    colour, region_colour: (red, green, blue), whole numbers 0..255
        (--boundary-colour and --region-colour).
    mode: "thin" paints the pixel above or left of each boundary (one pixel
        wide); "thick" paints both sides (--boundary-mode).

    Raises TypeError and ValueError as segment does for its arguments.
    """
    ...

def evaluate(
    labels: _npt.ArrayLike,
    truth_or_list: "_npt.ArrayLike | _Sequence[_npt.ArrayLike]",
    rgb: _Optional[_Photo] = None,
    tolerance: int = 2,
    ignore_zero: bool = False,
) -> dict[str, float]:
    """evaluate(labels, truth_or_list, rgb=None, tolerance=2, ignore_zero=False) -> dict

    Scores the superpixels `labels` against one ground truth or a list of them,
    with the definitions of docs/evaluation.md; with several truths each measure
    is the mean over them.

    labels, truths: arrays of shape (H, W) of any integer kind, bool, or whole
        floating-point numbers, all in the int32 range; only which pixels share
        a label counts, so 0-based labels need nothing (0 is a label like any
        other unless ignore_zero says so for the truths).
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
    ...

class Hierarchy:
    """The superpixels of every count from one run (see hierarchy())."""
    @property
    def finest_count(self) -> int: ...
    @property
    def default_count(self) -> int: ...
    @property
    def coarsest_count(self) -> int: ...
    def cut(self, count: int) -> _npt.NDArray[_np.int32]: ...
    def linkage(self) -> _npt.NDArray[_np.float64]: ...

def hierarchy(
    rgb: _Photo,
    regions: _Optional[_npt.ArrayLike] = None,
    *,
    threshold: float = 500.0,
    sigma: float = 0.0,
    cap_divisor: _Optional[int] = None,
    min_size: int = 5,
    bit_depth: int = 16,
    mask: _Optional[_npt.ArrayLike] = None,
) -> Hierarchy:
    """hierarchy(rgb, regions=None, *, threshold=500.0, sigma=0.0, cap_divisor=None,
              min_size=5, bit_depth=16, mask=None) -> Hierarchy

    The superpixels of every count from one run of segment() with the same
    arguments (docs/knobs.md gives the definition). The returned object has:

    finest_count, default_count, coarsest_count: the range of counts; the default
        count is segment()'s own, the coarsest 1 (with regions: where no two
        touching superpixels share a region id; with a mask: one per piece of
        the mask, as no superpixel crosses its edge).
    cut(count): labels (int32, shape (H, W)) with exactly count superpixels,
        1 .. count in raster order (0 outside a mask), in time linear in the
        pixels; cuts are nested, and cut(default_count) equals segment()'s
        labels. A count outside the range raises ValueError naming it.
    linkage(): the tree as a SciPy linkage matrix over the finest superpixels
        (observation k is label k + 1 of cut(finest_count)), heights rising
        strictly (the merge's edge weight, or just above the row before), so that scipy.cluster.hierarchy.cut_tree(Z, n) + 1, read
        through the finest labels, is cut(n) up to the numbering. Parts that
        regions (or a mask) keep apart are joined by the last coarsest_count - 1
        rows, above every merge: cut_tree below coarsest_count gives what cut()
        refuses.
    """
    ...
