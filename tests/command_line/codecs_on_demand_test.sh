#!/usr/bin/env bash
# Both programs decode PNG and JPEG photos themselves and load OpenCV's image codecs (and the
# dozens of libraries behind them) only for other formats and for pictures.
#   codecs_on_demand_test.sh SEGMORA SEGMORA_BATCH SAMPLES_DIR
set -euo pipefail
segmora=$1 batch=$2 samples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

loads_codecs() {  # loads_codecs COMMAND...: whether COMMAND loads libopencv_imgcodecs
    LD_DEBUG=libs "$@" >/dev/null 2>"$work/loader" || fail "$* failed"
    grep -q 'libopencv_imgcodecs' "$work/loader"
}
fail() { echo "codecs_on_demand: $*" >&2; exit 1; }

mkdir "$work/photos"
cp "$samples/chelsea.png" "$work/photos/"
! loads_codecs "$segmora" -i "$samples/chelsea.png" -o "$work/a.csv" ||
    fail "Segmora loaded the codecs for a PNG photo"
! loads_codecs "$batch" -o "$work/labels" "$work/photos" ||
    fail "segmora-batch loaded the codecs for a PNG photo"
loads_codecs "$segmora" -i "$samples/chelsea.png" -o "$work/b.csv" -v "$work/picture.bmp" ||
    fail "Segmora wrote a BMP picture without the codecs"
loads_codecs "$segmora" -i "$work/picture.bmp" -o "$work/c.csv" ||
    fail "Segmora read a BMP photo without the codecs"
"$segmora" -i "$samples/chelsea.png" -v "$work/picture.jpg" >/dev/null
! loads_codecs "$segmora" -i "$work/picture.jpg" -o "$work/d.csv" ||
    fail "Segmora loaded the codecs for a JPEG photo"
cmp -s "$work/a.csv" "$work/b.csv" || fail "the labels changed with the picture"
cmp -s "$work/a.csv" "$work/labels/chelsea.csv" || fail "the two programs' labels differ"
# A limit the user sets for OpenCV's reader holds for every photo: OpenCV's reader judges them.
if OPENCV_IO_MAX_IMAGE_PIXELS=1000 "$segmora" -i "$samples/chelsea.png" -o "$work/e.csv" \
    >/dev/null 2>"$work/error"; then
    fail "Segmora read a photo over the limit set for OpenCV's reader"
fi
grep -q "too large for the image decoder's limit" "$work/error" ||
    fail "the limit set for OpenCV's reader was not named: $(cat "$work/error")"
