#!/usr/bin/env bash
# Runs scripts/segment-folder on a small folder with one broken photo.
# Arguments: the script, the Segmora program.
set -uo pipefail
script=$1
export SEGMORA=$2
unset SLURM_ARRAY_TASK_ID

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fails=0
check() {  # check DESCRIPTION COMMAND...
    if ! "${@:2}"; then
        echo "FAILED: $1" >&2
        fails=$((fails + 1))
    fi
}

# A plain-text colour picture of WIDTH x HEIGHT pixels.
ppm() {
    echo "P3 $1 $2 255"
    for ((i = 0; i < $1 * $2; i++)); do echo "$((i * 37 % 256)) $((i * 11 % 256)) $((i * 5 % 256))"; done
}

mkdir -p "$dir/in/sub"
ppm 6 4 >"$dir/in/a.ppm"
ppm 5 7 >"$dir/in/two words.PPM"
echo "not a picture" >"$dir/in/broken.png"
echo "notes" >"$dir/in/notes.txt"
ppm 3 3 >"$dir/in/sub/deeper.ppm"

"$script" "$dir/in" "$dir/out" 2 >"$dir/stdout" 2>"$dir/stderr"
status=$?
check "batch with a broken photo exits 1 (got $status)" test "$status" -eq 1
check "a.csv has one line per row" test "$(grep -c , "$dir/out/a.csv")" -eq 4
check "'two words.csv' has one line per row" test "$(grep -c , "$dir/out/two words.csv")" -eq 7
"$SEGMORA" -i "$dir/in/a.ppm" -o "$dir/direct.csv" >/dev/null
check "a.csv is what Segmora writes" cmp -s "$dir/out/a.csv" "$dir/direct.csv"
check "only the two good photos have label files" test "$(ls "$dir/out" | wc -l)" -eq 2
check "the broken photo is named in the summary" grep -q "^  $dir/in/broken.png\$" "$dir/stderr"
check "Segmora's own message is passed on" grep -q "^Segmora: cannot read image '$dir/in/broken.png'" "$dir/stderr"

# Job array: the sorted list is a.ppm, broken.png, two words.PPM.
for row in "0 0 a.csv" "1 1 -" "2 0 two words.csv" "3 2 -" "x 2 -"; do
    read -r task want file <<<"$row"
    rm -rf "$dir/out"
    SLURM_ARRAY_TASK_ID=$task "$script" "$dir/in" "$dir/out" 2>/dev/null >/dev/null
    status=$?
    check "task $task exits $want (got $status)" test "$status" -eq "$want"
    check "task $task writes only its own label file" \
        test "$(ls "$dir/out" 2>/dev/null)" = "$([[ $file == - ]] || echo "$file")"
done

SEGMORA="$dir/none" "$script" "$dir/in" "$dir/out" 2>/dev/null
check "a missing program exits 2" test $? -eq 2

if [[ $fails -ne 0 ]]; then
    echo "--- stderr of the batch:" >&2
    cat "$dir/stderr" >&2
    exit 1
fi
echo "segment-folder: all checks passed"
