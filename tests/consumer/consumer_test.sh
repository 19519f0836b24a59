#!/usr/bin/env bash
# Installs the built project into a scratch prefix, builds tests/consumer against the
# installed package and checks that its labels equal the label file of the installed
# Segmora for the same photo.
#   consumer_test.sh BUILD_DIR CONSUMER_SOURCE PHOTO [EXTRA_CMAKE_ARGS...]
set -euo pipefail
build="$1" source="$2" photo="$3"
shift 3
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
for installed in bin/Segmora lib/libsegmora.a include/segmora/segmora.h \
    lib/cmake/Segmora/SegmoraConfig.cmake; do
    [[ -e "$prefix/$installed" ]] || { echo "not installed: $installed" >&2; exit 1; }
done
# Nothing but the public header is installed.
headers="$(cd "$prefix/include" && find . -type f | sort)"
[[ "$headers" == "./segmora/segmora.h" ]] || { echo "installed headers: $headers" >&2; exit 1; }

cmake -S "$source" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release "$@" >"$scratch/configure.log" ||
    { cat "$scratch/configure.log" >&2; exit 1; }
cmake --build "$scratch/consumer" >"$scratch/build.log" 2>&1 ||
    { cat "$scratch/build.log" >&2; exit 1; }

"$scratch/consumer/print_labels" "$photo" >"$scratch/consumer.csv"
"$prefix/bin/Segmora" -i "$photo" -o "$scratch/segmora.csv" >/dev/null
if ! cmp -s "$scratch/consumer.csv" "$scratch/segmora.csv"; then
    echo "the consumer's labels differ from Segmora's label file" >&2
    exit 1
fi
echo "consumer and Segmora agree on $(wc -l <"$scratch/segmora.csv") rows"
