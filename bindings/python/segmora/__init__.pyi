from typing import Optional, Tuple

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
    ) -> Tuple[npt.NDArray[np.int32], int]: ...
    def release(self) -> None: ...
