#!/usr/bin/env bash
# Runs scripts/segment-folder on a small folder with one broken photo.
# Arguments: the script, the Segmora program, the segmora-batch program.
set -uo pipefail
script=$1
segmora=$2
export SEGMORA_BATCH=$3
unset SLURM_ARRAY_TASK_ID SLURM_ARRAY_TASK_COUNT

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
check "nothing on stdout" test ! -s "$dir/stdout"
check "a.csv has one line per row" test "$(grep -c , "$dir/out/a.csv")" -eq 4
check "'two words.csv' has one line per row" test "$(grep -c , "$dir/out/two words.csv")" -eq 7
"$segmora" -i "$dir/in/a.ppm" -o "$dir/direct.csv" >/dev/null
check "a.csv is what Segmora writes" cmp -s "$dir/out/a.csv" "$dir/direct.csv"
check "only the two good photos have label files" \
    test "$(ls -A "$dir/out" | grep -cvx .segmora-batch-done)" -eq 2
check "the broken photo's reason is reported" \
    grep -q "^segmora-batch: $dir/in/broken.png: cannot read image '$dir/in/broken.png'" "$dir/stderr"
check "the last line counts the failures" test "$(tail -n 1 "$dir/stderr")" = \
    "segmora-batch: 1 of 3 photos failed"

# Job array of three tasks: the sorted list is a.ppm, broken.png, two words.PPM.
for row in "0 0 a.csv" "1 1 -" "2 0 two words.csv" "3 2 -" "x 2 -"; do
    read -r task want file <<<"$row"
    rm -rf "$dir/out"
    SLURM_ARRAY_TASK_ID=$task SLURM_ARRAY_TASK_COUNT=3 "$script" "$dir/in" "$dir/out" 2>/dev/null
    status=$?
    check "task $task exits $want (got $status)" test "$status" -eq "$want"
    check "task $task writes only its own label file" \
        test "$(ls "$dir/out" 2>/dev/null)" = "$([[ $file == - ]] || echo "$file")"
done

SEGMORA_BATCH="$dir/none" "$script" "$dir/in" "$dir/out" 2>/dev/null
check "a missing program exits 2" test $? -eq 2
"$script" "$dir/none" "$dir/out" 2>/dev/null
check "a missing folder exits 2" test $? -eq 2

if [[ $fails -ne 0 ]]; then
    echo "--- stderr of the batch:" >&2
    cat "$dir/stderr" >&2
    exit 1
fi
echo "segment-folder: all checks passed"
