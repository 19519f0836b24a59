#!/usr/bin/env bash
# Builds programs outside the project against an installed Segmora, as a user would, and
# checks them against the fixed answers of tests/golden/:
# - tests/consumer (write_labels): the label file and superpixel count of every bundled
#   sample, without and with its region file;
# - the C++ example of docs/cpp.md, taken from the page itself (its first ```cmake and
#   ```cpp blocks), on one sample: page and test cannot drift apart.
# With SEGMORA_LABEL_DIFFERENCE naming the tests' label_difference, differing labels are
# reported with the first differing pixel (see tests/golden/check-programs).
# Usage:
#   consumer_test.sh --install BUILD_DIR [CMAKE_ARGS...]   install the build into a scratch
#                                                          prefix first, and check its files
#   consumer_test.sh --prefix PREFIX [CMAKE_ARGS...]       an installed copy (a package)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
golden=$root/tests/golden
mode=$1 where=$2
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "consumer_test: $*" >&2
    exit 1
}

if [[ $mode == --install ]]; then
    prefix=$scratch/prefix
    cmake --install "$where" --prefix "$prefix" >/dev/null
    for installed in bin/Segmora lib/libsegmora.a include/segmora/segmora.h \
        lib/cmake/Segmora/SegmoraConfig.cmake share/man/man1/Segmora.1; do
        [[ -e $prefix/$installed ]] || fail "not installed: $installed"
    done
    for program in segmora-batch segmora-sweep segmora-tiles; do
        if [[ -e $prefix/bin/$program && ! -e $prefix/share/man/man1/$program.1 ]]; then
            fail "not installed: share/man/man1/$program.1"
        fi
    done
    # Nothing but the public header is installed, and the library exports only its API.
    headers=$(cd "$prefix/include" && find . -type f | sort)
    [[ $headers == "./segmora/segmora.h" ]] || fail "installed headers: $headers"
    exported=$(readelf -sW "$prefix/lib/libsegmora.a" |
        awk '$5 == "GLOBAL" && $6 == "DEFAULT" && $7 != "UND" { print $8 }' | c++filt |
        grep -v -E '^segmora::(Segmenter::|Hierarchy::|segmentPhoto\(|segment\(|hierarchyOfPhoto\(|hierarchyOf\(|photoParameters\(|describe\(|evaluate\(|checkTiledImage\(|tileCount\(|tileRect\(|tileReadRect\(|segmentTile\(|joinTiles\(|labelTile\(|sweptRowsNeeded\(|FlatSweep::[^S])' || true)
    [[ -z $exported ]] || fail "libsegmora exports more than its API: $exported"
    # The installed program gives the fixed answer too.
    "$prefix/bin/Segmora" -i "$root/samples/chelsea.png" -o "$scratch/chelsea.plain.csv" >/dev/null
    (cd "$scratch" && grep ' chelsea\.plain\.csv$' "$golden/SHA256SUMS" | sha256sum --quiet -c -) ||
        fail "the installed Segmora's label file differs from the fixed answer"
elif [[ $mode == --prefix ]]; then
    prefix=$where
else
    fail "usage: consumer_test.sh --install BUILD_DIR | --prefix PREFIX [CMAKE_ARGS...]"
fi

build() {  # SOURCE_DIR BINARY_DIR CMAKE_ARGS...
    local source=$1 binary=$2
    shift 2
    cmake -S "$source" -B "$binary" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
        "$@" >"$binary.log" 2>&1 && cmake --build "$binary" >>"$binary.log" 2>&1 ||
        { cat "$binary.log" >&2; fail "cannot build $source against $prefix"; }
}

build "$here" "$scratch/consumer" "$@"
mkdir -p "$scratch/labels"
for photo in "$root"/samples/*.png; do
    name=$(basename "$photo" .png)
    for kind in plain regions; do
        regions=()
        [[ $kind == regions ]] && regions=("$golden/regions/$name.txt")
        count=$("$scratch/consumer/write_labels" "$photo" "$scratch/labels/$name.$kind.csv" \
            "${regions[@]}")
        [[ "$name.$kind $count" == "$(grep "^$name.$kind " "$golden/counts")" ]] ||
            fail "libsegmora gives $count superpixels for $name.$kind"
    done
done
if [[ -n ${SEGMORA_LABEL_DIFFERENCE:-} ]]; then
    for file in "$scratch/labels"/*.csv; do
        "$SEGMORA_LABEL_DIFFERENCE" "$golden/labels/$(basename "$file" .csv).png" "$file" >&2 ||
            fail "libsegmora's labels differ from the fixed label maps"
    done
fi
(cd "$scratch/labels" && grep '\.csv$' "$golden/SHA256SUMS" | sha256sum --quiet -c -) ||
    fail "libsegmora's labels differ from the fixed answers"

mkdir -p "$scratch/example"
awk '/^```cmake$/ { inside = 1; next } /^```$/ { if (inside) exit } inside' \
    "$root/docs/cpp.md" >"$scratch/example/CMakeLists.txt"
awk '/^```cpp$/ { inside = 1; next } /^```$/ { if (inside) exit } inside' \
    "$root/docs/cpp.md" >"$scratch/example/superpixels.cpp"
[[ -s $scratch/example/CMakeLists.txt && -s $scratch/example/superpixels.cpp ]] ||
    fail "docs/cpp.md has no \`\`\`cmake and \`\`\`cpp blocks"
build "$scratch/example" "$scratch/example-build" "$@"
said=$("$scratch/example-build/superpixels" "$root/samples/chelsea.png")
expected=$(sed -n 's/^chelsea.plain //p' "$golden/counts")
[[ $said == "$root/samples/chelsea.png: $expected superpixels" ]] ||
    fail "the example of docs/cpp.md says '$said'"
echo "consumer_test: the consumer and the example of docs/cpp.md agree with the fixed answers"
