#!/usr/bin/env bash
# zx81rescue's speed and memory: `make rescue-bench`.
#
#   bench/rescue_bench.sh [BUILD_DIR]        (RESCUE_BENCH_REPS=5, RESCUE_BENCH_MINUTES=30)
#
# Writes with bench/make_tape_side a tape side of RESCUE_BENCH_MINUTES minutes at 44.1 kHz
# (real-size programs, 4 to 16 KB each, a few seconds apart) twice: as headerless 8-bit mono
# samples (raw, what zx81tape reads) and as a 16-bit stereo WAV file; and the WAV file again
# twice as long, to show that memory does not grow with the recording. Then times, in
# interleaved rounds, and reports medians of wall time and user+system time, the throughput
# in millions of frames a second, and the peak resident memory (GNU time's %M):
#
#   zx81tape side.raw -r                 the converter on the raw recording
#   zx81rescue --rate 44100 side.raw     the same recording, rate given
#   zx81rescue side.raw                  rate measured from the pulses
#   zx81rescue side.wav                  the 16-bit stereo WAV file (both channels decoded)
#   zx81rescue side2.wav                 twice as long
#
# and zx81rescue's throughput on the raw recording as a part of zx81tape's (the goal: at least
# a fifth). The files live in a temporary directory inside the build folder.
set -euo pipefail

build=${1:-build}
bin=$(cd "$build" && pwd)/bin
reps=${RESCUE_BENCH_REPS:-5}
minutes=${RESCUE_BENCH_MINUTES:-30}
for tool in "$bin/zx81tape" "$bin/zx81rescue" "$bin/make_tape_side" /usr/bin/time; do
    [ -x "$tool" ] || { echo "rescue-bench: $tool is missing (build first; GNU time is package 'time')" >&2; exit 1; }
done

dir=$(mktemp -d "$(cd "$build" && pwd)/rescue-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir"

"$bin/make_tape_side" side.raw "$minutes" 44100 raw
"$bin/make_tape_side" side.wav "$minutes" 44100 wav16
"$bin/make_tape_side" side2.wav "$((2 * minutes))" 44100 wav16
frames=$(stat -c %s side.raw)

# timed NAME COMMAND...: appends "wall user system" and the peak RSS in KiB to NAME.times.
timed() {
    local name=$1
    shift
    local TIMEFORMAT='%3R %3U %3S'
    local t
    # The input is read once, untimed, just before: a machine that pages out what has gone
    # unused for a second or two would otherwise time the disk.
    local a
    for a in "$@"; do [ -f "$a" ] && cat "$a" >/dev/null; done
    t=$({ time /usr/bin/time -f %M -o "$name.rss" "$@" >/dev/null 2>&1; } 2>&1) || true
    echo "$t $(cat "$name.rss")" >>"$name.times"
}

# median FILE COLUMN: the median of a column (1 wall, 2 user, 3 system, 4 RSS; 5 user+system).
median() {
    awk -v c="$2" '{ v = c == 5 ? $2 + $3 : $c; print v }' "$1" | sort -g |
        awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}

for _ in $(seq "$reps"); do
    rm -rf out && mkdir out
    timed tape "$bin/zx81tape" side.raw -r
    timed rescue_rate "$bin/zx81rescue" -q --force -o out --rate 44100 side.raw
    timed rescue_raw "$bin/zx81rescue" -q --force -o out side.raw
    timed rescue_wav "$bin/zx81rescue" -q --force -o out side.wav
    timed rescue_wav2 "$bin/zx81rescue" -q --force -o out side2.wav
done
"$bin/zx81rescue" -o out --force side.wav | tail -1

row() {
    local label=$1 name=$2 mframes=$3
    local wall cpu rss
    wall=$(median "$name.times" 1)
    cpu=$(median "$name.times" 5)
    rss=$(median "$name.times" 4)
    awk -v l="$label" -v w="$wall" -v c="$cpu" -v r="$rss" -v f="$mframes" \
        'BEGIN { printf "  %-34s %7.3f s %8.3f s %9.0f M/s %8.1f MB\n", l, w, c, f / w, r / 1024 }'
}
mf=$(awk -v f="$frames" 'BEGIN { print f / 1e6 }')
echo "$minutes-minute tape side at 44.1 kHz ($mf M frames), median of $reps rounds:"
echo "  run                                   wall  user+system   throughput  peak RSS"
row "zx81tape side.raw -r" tape "$mf"
row "zx81rescue --rate 44100 side.raw" rescue_rate "$mf"
row "zx81rescue side.raw (rate measured)" rescue_raw "$mf"
row "zx81rescue side.wav (16-bit stereo)" rescue_wav "$mf"
row "zx81rescue side2.wav (twice as long)" rescue_wav2 "$(awk -v f="$mf" 'BEGIN { print 2 * f }')"
part=$(awk -v a="$(median tape.times 1)" -v b="$(median rescue_raw.times 1)" 'BEGIN { printf "%.2f", a / b }')
echo "rescue-bench: on the raw recording zx81rescue reaches $part of zx81tape's throughput;" \
    "the $minutes-minute stereo WAV takes $(median rescue_wav.times 1) s;" \
    "peak RSS $(awk -v r="$(median rescue_wav.times 4)" 'BEGIN { printf "%.1f", r / 1024 }') MB," \
    "$(awk -v r="$(median rescue_wav2.times 4)" 'BEGIN { printf "%.1f", r / 1024 }') MB for twice the length"
