# Sourced by the bench/run-* scripts: the photo sets, the programs of a build of either folder
# layout, and timing of a build against an earlier one (BEFORE=BUILD_DIR).

# The real set is cut from all five samples, the synthetic one (the sets of earlier figures)
# from the first three.
real_samples=(samples/astronaut.png samples/chelsea.png samples/coffee.png samples/ihc.png
    samples/gravel.png)
synthetic_samples=(samples/astronaut.png samples/chelsea.png samples/coffee.png)

describe_set() {  # describe_set SET
    case $1 in
        real) echo "real: crops of samples/{astronaut,chelsea,coffee,ihc,gravel} at their own" \
            "scale (enlarged with area interpolation only where a sample is smaller than the" \
            "photo), JPEG quality 92" ;;
        synthetic) echo "synthetic: the earlier figures' photos, made from" \
            "samples/{astronaut,chelsea,coffee} with bicubic enlarging (see bench/README.md)" ;;
    esac
}

# parse_set_option ARG...: sets `set` (real unless --set synthetic) and `rest` (the others).
parse_set_option() {
    set=real
    rest=()
    while (($#)); do
        case $1 in
            --set) set=${2:-}; shift 2 || true ;;
            --set=*) set=${1#--set=}; shift ;;
            *) rest+=("$1"); shift ;;
        esac
    done
    [[ $set == real || $set == synthetic ]] ||
        { echo "${0##*/}: --set must be real or synthetic" >&2; exit 2; }
}

# make_set TOOL SET DIR COUNT WIDTHxHEIGHT [--decoded]: makes the photos in DIR unless the
# same set is there already.
make_set() {
    local tool=$1 kind=$2 dir=$3 count=$4 size=$5 decoded=${6:-}
    local samples=("${real_samples[@]}")
    [[ $kind == real ]] || samples=("${synthetic_samples[@]}")
    local stamp="$kind $count $size $decoded $(cat "${samples[@]}" | cksum)"
    [[ -f $dir/.stamp && $(cat "$dir/.stamp") == "$stamp" ]] && return
    rm -rf "$dir" && mkdir -p "$dir"
    "$tool" $decoded "$kind" "$dir" "$count" "$size" "${samples[@]}" 2>/dev/null
    echo "$stamp" >"$dir/.stamp"
}

# program_of BUILD NAME: NAME (Segmora, segmora-batch, segmora_stages) in BUILD, which may
# also be a build of the earlier layout (segmenter/, batch/).
program_of() {
    local build=$1 name=$2
    if [[ -x $build/bin/$name ]]; then echo "$build/bin/$name"; return; fi
    case $name in
        Segmora) echo "$build/segmenter/Segmora" ;;
        segmora-batch) echo "$build/batch/segmora-batch" ;;
        *) echo "$build/bench/$name" ;;
    esac
}

# measure KEY COMMAND...: runs COMMAND once (output discarded) and keeps, under KEY, the best
# wall time, processor time (user + system, all threads and children) and peak resident memory
# in best_seconds, best_cpu and best_kb. On a busy machine the processor time is the steadier.
declare -A best_seconds best_cpu best_kb
measure() {
    local key=$1 seconds kb user system
    shift
    /usr/bin/time -o "$work/time" -f "%e %M %U %S" "$@" >/dev/null 2>"$work/stderr" ||
        { echo "${0##*/}: failed: $* ($(tail -n 1 "$work/stderr"))" >&2; exit 1; }
    read -r seconds kb user system <"$work/time"
    if [[ -z ${best_seconds[$key]:-} ]] || awk "BEGIN{exit !($seconds < ${best_seconds[$key]})}"
    then best_seconds[$key]=$seconds; fi
    local cpu
    cpu=$(awk "BEGIN{print $user + $system}")
    if [[ -z ${best_cpu[$key]:-} ]] || awk "BEGIN{exit !($cpu < ${best_cpu[$key]})}"
    then best_cpu[$key]=$cpu; fi
    if [[ -z ${best_kb[$key]:-} ]] || ((kb < best_kb[$key])); then best_kb[$key]=$kb; fi
}

# figure KEY COUNT: "SECONDS s  RATE/s  CPU s  PEAK MB" of a measured KEY over COUNT photos.
figure() {
    awk -v s="${best_seconds[$1]}" -v c="${best_cpu[$1]}" -v kb="${best_kb[$1]}" -v n="$2" \
        'BEGIN{printf "%7.2f s %7.1f/s %7.2f s cpu %5d MB", s, n / s, c, kb / 1024}'
}

# report LABEL COUNT KEY: one line, with the earlier build's figure and the speed-up (of wall
# time, then of processor time) beside it when that was measured too (under KEY-before).
report() {
    local line
    line=$(printf '  %-40s %s' "$1" "$(figure "$3" "$2")")
    if [[ -n ${best_seconds[$3-before]:-} ]]; then
        line+=$(printf '   | %s   x%.2f x%.2f' "$(figure "$3-before" "$2")" \
            "$(awk "BEGIN{print ${best_seconds[$3-before]} / ${best_seconds[$3]}}")" \
            "$(awk "BEGIN{print ${best_cpu[$3-before]} / ${best_cpu[$3]}}")")
    fi
    echo "$line"
}

machine_line() {
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' \
        /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"
}
