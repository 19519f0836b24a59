from typing import Optional, Sequence, Tuple

import numpy as np
import numpy.typing as npt

__version__: str

def segment(
    rgb: npt.ArrayLike,
    regions: Optional[npt.ArrayLike] = None,
    *,
    threshold: float = 500.0,
    sigma: float = 0.0,
    cap_divisor: Optional[int] = None,
    min_size: int = 5,
    mask: Optional[npt.ArrayLike] = None,
    out: Optional[npt.NDArray[np.int32]] = None,
) -> Tuple[npt.NDArray[np.int32], int]: ...

class Segmenter:
    def __init__(self, threads: int = 0) -> None: ...
    @property
    def threads(self) -> int: ...
    def segment(
        self,
        rgb: npt.ArrayLike,
        regions: Optional[npt.ArrayLike] = None,
        *,
        threshold: float = 500.0,
        sigma: float = 0.0,
        cap_divisor: Optional[int] = None,
        min_size: int = 5,
        mask: Optional[npt.ArrayLike] = None,
        out: Optional[npt.NDArray[np.int32]] = None,
    ) -> Tuple[npt.NDArray[np.int32], int]: ...
    def release(self) -> None: ...

class Graph:
    """The superpixel graph of a label array (see graph())."""
    @property
    def count(self) -> int: ...
    @property
    def size(self) -> npt.NDArray[np.int64]: ...
    @property
    def centroid(self) -> npt.NDArray[np.float64]: ...
    @property
    def bbox(self) -> npt.NDArray[np.int64]: ...
    @property
    def mean_color(self) -> Optional[npt.NDArray[np.float64]]: ...
    @property
    def edges(self) -> npt.NDArray[np.int32]: ...
    @property
    def border(self) -> npt.NDArray[np.int64]: ...

def graph(labels: npt.ArrayLike, rgb: Optional[npt.ArrayLike] = None) -> Graph: ...
def mean_picture(labels: npt.ArrayLike, rgb: npt.ArrayLike) -> npt.NDArray[np.uint8]: ...
def boundaries(
    rgb: npt.ArrayLike,
    labels: npt.ArrayLike,
    regions: Optional[npt.ArrayLike] = None,
    *,
    colour: Sequence[int] = (0, 255, 0),
    region_colour: Sequence[int] = (255, 0, 255),
    mode: str = "thin",
) -> npt.NDArray[np.uint8]: ...

def evaluate(
    labels: npt.ArrayLike,
    truth_or_list: "npt.ArrayLike | Sequence[npt.ArrayLike]",
    rgb: Optional[npt.ArrayLike] = None,
    tolerance: int = 2,
    ignore_zero: bool = False,
) -> dict[str, float]: ...
