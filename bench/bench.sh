#!/usr/bin/env bash
# The converter's speed against the speed of moving the same bytes: `make bench`.
#
#   bench/bench.sh [BUILD_DIR]        (BENCH_SIZES="50 200", BENCH_REPS=15)
#
# For each size (millions of samples) it writes a recording with bench/make_recording, runs
# one untimed round, then times BENCH_REPS rounds, each running on the same files:
#
#   I/O floor    dd the recording to a new file, then dd that copy to /dev/null
#   war step     zx81tape REC.raw       (the bit file and the P file exist and are reused)
#   war+bit      zx81tape REC.raw -b    (the P file is reused); bit step = war+bit - war step
#   name+P step  zx81tape REC.bit -p
#   whole        zx81tape REC.raw -r
#
# The floor does the converter's own I/O: it reads the recording, writes as many bytes, and
# reads them back. Reported per step: the median wall time and the median user+system time
# (the processor time is far less disturbed by other work on a shared machine), the
# throughput in MB of samples (10^6) per second of wall time, the spread of the wall times
# ((slowest - fastest) / median, the noise), and the peak resident memory (GNU time's %M);
# then the ratio of the whole conversion to the floor. All files live in one temporary
# directory inside the build folder, removed at the end. The last line is the summary.
set -euo pipefail

build=${1:-build}
exe=$(cd "$build" && pwd)/bin/zx81tape
gen=$(cd "$build" && pwd)/bin/make_recording
reps=${BENCH_REPS:-15}
sizes=${BENCH_SIZES:-50 200}
for tool in "$exe" "$gen" /usr/bin/time; do
    [ -x "$tool" ] || { echo "bench: $tool is missing (build first; GNU time is package 'time')" >&2; exit 1; }
done

dir=$(mktemp -d "$(cd "$build" && pwd)/bench-run.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# A higher priority makes the rounds less noisy when other work shares the machine.
renice -n -5 $$ >/dev/null 2>&1 || true

# timed NAME COMMAND...: runs the command, appending "wall user system" in seconds to
# NAME.times (bash's own clock, to the millisecond) and, for the converter, its peak resident
# memory in KiB (GNU time's %M) to NAME.m.
timed() {
    local name=$1
    shift
    local TIMEFORMAT='%3R %3U %3S'
    if [ "$1" = floor ]; then
        { time floor; } 2>>"$name.times"
    else
        { time /usr/bin/time -f %M -o "$name.rss" "$@" >/dev/null; } 2>>"$name.times"
        cat "$name.rss" >>"$name.m"
    fi
}

floor() {
    dd if=rec.raw of=copy.raw bs=1M status=none
    dd if=copy.raw of=/dev/null bs=1M status=none
}

# median FILE COLUMN (1 wall, 2 processor time), spread FILE: (slowest - fastest) / median of
# the wall times, largest FILE
column() { awk -v c="$2" '{ print c == 1 ? $1 : $2 + $3 }' "$1"; }
median() { column "$1" "$2" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
spread() { column "$1" 1 | sort -g | awk -v m="$(median "$1" 1)" '{ v[NR] = $1 } END { printf "%.0f%%", 100 * (v[NR] - v[1]) / m }'; }
largest() { sort -g "$1" | tail -n 1; }

row() { # row LABEL WALL CPU MEGABYTES SPREAD RSS_KIB
    awk -v l="$1" -v s="$2" -v c="$3" -v mb="$4" -v sp="$5" -v k="$6" 'BEGIN {
        printf "  %-26s %7.3f s %7.3f s %7.0f MB/s %7s %9s\n", l, s, c, (s > 0 ? mb / s : 0), sp,
               (k == "" ? "" : sprintf("%.1f MB", k / 1024)) }'
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
echo
summary=""
declare -A whole_time whole_cpu
for mb in $sizes; do
    rm -f ./*
    start=$(date +%s%N)
    "$gen" rec.raw "$mb"
    gen_s=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
    # The first run builds the bit file and the P file that the stage runs reuse.
    "$exe" rec.raw -r >/dev/null
    pname=$(ls ./*.p)
    # One untimed round first, so that every file exists and is cached as in later rounds.
    floor
    "$exe" rec.raw -r >/dev/null
    sync
    # The big outputs are removed before each timed run: the dirty pages of a removed file are
    # dropped unwritten, so the page cache never starts writing back to the disk in the middle
    # of a round (that, and not the converter, made the rounds noisy).
    for _ in $(seq "$reps"); do
        rm -f copy.raw
        timed floor floor
        rm -f rec.war
        timed war "$exe" rec.raw
        rm -f rec.war
        timed warbit "$exe" rec.raw -b
        timed pstep "$exe" rec.bit -p
        rm -f rec.war
        timed whole "$exe" rec.raw -r
    done
    [ -s rec.bit ] && [ -e "$pname" ] || { echo "bench: the converter left no output" >&2; exit 1; }

    f=$(median floor.times 1); w=$(median war.times 1); wb=$(median warbit.times 1)
    p=$(median pstep.times 1); a=$(median whole.times 1)
    fc=$(median floor.times 2); wc=$(median war.times 2); wbc=$(median warbit.times 2)
    pc=$(median pstep.times 2); ac=$(median whole.times 2)
    b=$(awk -v x="$wb" -v y="$w" 'BEGIN { print x - y }')
    bc=$(awk -v x="$wbc" -v y="$wc" 'BEGIN { print x - y }')
    ratio=$(awk -v x="$a" -v y="$f" 'BEGIN { printf "%.2f", x / y }')
    cratio=$(awk -v x="$ac" -v y="$fc" 'BEGIN { printf "%.2f", x / y }')
    rss=$(largest whole.m)
    whole_time[$mb]=$a
    whole_cpu[$mb]=$ac
    echo "$mb MB of samples (generated in $gen_s s), median of $reps rounds:"
    echo "  step                          wall  user+system   throughput  spread  peak RSS"
    row "I/O floor (copy+read)" "$f" "$fc" "$mb" "$(spread floor.times)" ""
    row "war step" "$w" "$wc" "$mb" "$(spread war.times)" "$(largest war.m)"
    row "bit step (war+bit - war)" "$b" "$bc" "$mb" "" "$(largest warbit.m)"
    row "name+P step" "$p" "$pc" "$mb" "$(spread pstep.times)" "$(largest pstep.m)"
    row "whole conversion (-r)" "$a" "$ac" "$mb" "$(spread whole.times)" "$rss"
    echo "  whole / I/O floor: $ratio (wall), $cratio (user+system)"
    echo
    rm -f ./*.times ./*.m ./*.rss
    summary="$mb MB: whole $(awk -v s="$a" -v mb="$mb" 'BEGIN { printf "%.3f s = %.0f MB/s", s, mb / s }'), floor $(awk -v s="$f" 'BEGIN { printf "%.3f s", s }'), ratio $ratio (user+system $cratio), peak RSS $(awk -v k="$rss" 'BEGIN { printf "%.1f MB", k / 1024 }')"
done

set -- $sizes
linear=""
if [ $# -ge 2 ]; then
    first=$1
    last=${!#}
    linear=$(awk -v a="${whole_time[$first]}" -v b="${whole_time[$last]}" \
        -v c="${whole_cpu[$first]}" -v d="${whole_cpu[$last]}" -v x="$first" -v y="$last" \
        'BEGIN { printf ", cost %s->%s MB x%.2f wall, x%.2f user+system (linear: x%.2f)", x, y, b / a, d / c, y / x }')
fi
echo "bench: $summary$linear"
