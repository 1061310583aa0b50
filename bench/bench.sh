#!/usr/bin/env bash
# The converter's speed against the speed of moving the same bytes: `make bench`.
#
#   bench/bench.sh [BUILD_DIR]        (BENCH_SIZES="50 200", BENCH_REPS=7)
#
# For each size (millions of samples) it writes a recording with bench/make_recording and its
# sound-file twins with bench/sound_twin (16-bit stereo WAV, 16-bit stereo FLAC, 24-bit WAV,
# float WAV: every frame reduces to the raw sample it came from), converts each once and checks
# that all give the raw recording's war file, byte for byte. Then it times BENCH_REPS rounds,
# each running every command once, in turn, on the same files:
#
#   I/O floor       dd the raw recording to a new file, then dd that copy to /dev/null
#   each input      zx81tape INPUT -r    (the whole conversion: war, bit and P file)
#   each decoder    sound_twin --decode INPUT   (libsndfile's own time for that file)
#
# Reported per row: the median wall time and the median user+system time, the throughput in
# millions of samples (frames) per second of wall time, the ratio to the I/O floor, the ratio to
# the raw recording's conversion, and the peak resident memory (GNU time's %M). The floor does
# the converter's own I/O on the raw recording: it reads it, writes as many bytes, and reads them
# back. The last line is the summary, with the cost per sample at the first and the last size
# (linear when the time grows as the size does). All files live in one temporary directory
# inside the build folder, removed at the end.
set -euo pipefail

build=${1:-build}
bin=$(cd "$build" && pwd)/bin
exe=$bin/zx81tape
gen=$bin/make_recording
twin=$bin/sound_twin
reps=${BENCH_REPS:-7}
sizes=${BENCH_SIZES:-50 200}
for tool in "$exe" "$gen" "$twin" /usr/bin/time; do
    [ -x "$tool" ] || { echo "bench: $tool is missing (build first; GNU time is package 'time')" >&2; exit 1; }
done

dir=$(mktemp -d "$(cd "$build" && pwd)/bench-run.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# A higher priority makes the rounds less noisy when other work shares the machine.
renice -n -5 $$ >/dev/null 2>&1 || true

# timed NAME COMMAND...: runs the command, appending "wall user system" in seconds to
# NAME.times (bash's own clock, to the millisecond) and its peak resident memory in KiB to NAME.m.
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

# warm FILE: reads the file, untimed, just before a timed run reads it, after writing out what
# the runs before left to be written. A machine that pages out whatever has gone unused for a
# second or two (as a virtual machine's memory manager may) would otherwise time the disk
# instead of the command, and the kernel's writing back of earlier runs' war files would take a
# processor from the larger runs.
warm() {
    sync
    cat "$1" >/dev/null
}

floor() {
    dd if=rec.raw of=copy.raw bs=1M status=none
    dd if=copy.raw of=/dev/null bs=1M status=none
}

# median NAME COLUMN (1 wall, 2 processor time), largest NAME (peak memory)
column() { awk -v c="$2" '{ print c == 1 ? $1 : $2 + $3 }' "$1.times"; }
median() { column "$1" "$2" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
largest() { [ -s "$1.m" ] && sort -g "$1.m" | tail -n 1 || true; }

row() { # row LABEL NAME MEGABYTES
    awk -v l="$1" -v s="$(median "$2" 1)" -v c="$(median "$2" 2)" -v mb="$3" \
        -v f="$(median floor 1)" -v r="$(median raw 1)" -v k="$(largest "$2")" 'BEGIN {
        printf "  %-26s %7.3f s %7.3f s %7.0f MB/s %7.2f %7.2f %9s\n", l, s, c,
               (s > 0 ? mb / s : 0), s / f, s / r, (k == "" ? "" : sprintf("%.1f MB", k / 1024)) }'
}

inputs=(raw wav16s flac16s wav24 float)
declare -A file=([raw]=rec.raw [wav16s]=s16.wav [flac16s]=f16.flac [wav24]=s24.wav [float]=sfl.wav)
# The war file of each: the converter takes an extension of up to three characters off the
# name, so that ".flac" stays.
declare -A war=([raw]=rec.war [wav16s]=s16.war [flac16s]=f16.flac.war [wav24]=s24.war [float]=sfl.war)
declare -A label=([raw]="raw 8-bit mono" [wav16s]="WAV 16-bit stereo" [flac16s]="FLAC 16-bit stereo"
                  [wav24]="WAV 24-bit mono" [float]="WAV float mono")

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
echo
summary=""
declare -A raw_cpu raw_wall
for mb in $sizes; do
    rm -f ./*
    "$gen" rec.raw "$mb"
    for input in "${inputs[@]:1}"; do "$twin" rec.raw "${file[$input]}" "$input"; done
    # One untimed round: every output exists and every file is cached as in later rounds, and
    # every input gives the raw recording's war file.
    floor
    identical=yes
    for input in "${inputs[@]}"; do
        "$exe" "${file[$input]}" -r >/dev/null
        cmp -s "${war[$input]}" rec.war || identical=NO
    done
    [ "$identical" = yes ] || echo "bench: a sound file's war file differs from the raw recording's" >&2
    sync
    for _ in $(seq "$reps"); do
        # The big outputs are removed before each timed run: the dirty pages of a removed file
        # are dropped unwritten, so that writing back to the disk never starts mid-round.
        rm -f copy.raw
        warm rec.raw
        timed floor floor
        for input in "${inputs[@]}"; do
            rm -f "${war[$input]}"
            warm "${file[$input]}"
            timed "$input" "$exe" "${file[$input]}" -r
            [ "$input" = raw ] || timed "dec-$input" "$twin" --decode "${file[$input]}"
        done
    done

    echo "$mb M samples, median of $reps rounds; the war files of all inputs identical: $identical"
    echo "  input                         wall  user+system   throughput  /floor    /raw  peak RSS"
    row "I/O floor (copy+read raw)" floor "$mb"
    for input in "${inputs[@]}"; do
        row "${label[$input]}" "$input" "$mb"
        [ "$input" = raw ] || row "  its decoding alone" "dec-$input" "$mb"
    done
    echo
    raw_wall[$mb]=$(median raw 1)
    raw_cpu[$mb]=$(median raw 2)
    summary="$mb M samples: raw $(awk -v s="$(median raw 1)" -v mb="$mb" -v f="$(median floor 1)" \
        'BEGIN { printf "%.3f s = %.0f MB/s = %.2f x floor", s, mb / s, s / f }')"
    for input in wav16s flac16s; do
        summary="$summary, ${label[$input]} $(awk -v s="$(median "$input" 1)" -v r="$(median raw 1)" \
            'BEGIN { printf "%.2f x raw", s / r }')"
    done
    summary="$summary, peak RSS raw $(awk -v k="$(largest raw)" 'BEGIN { printf "%.1f MB", k / 1024 }')"
    summary="$summary, sound $(cat wav16s.m flac16s.m wav24.m float.m | sort -g | tail -n 1 |
        awk '{ printf "%.1f MB", $1 / 1024 }')"
    rm -f ./*.times ./*.m ./*.rss
done

set -- $sizes
linear=""
if [ $# -ge 2 ]; then
    first=$1
    last=${!#}
    linear=$(awk -v a="${raw_wall[$first]}" -v b="${raw_wall[$last]}" \
        -v c="${raw_cpu[$first]}" -v d="${raw_cpu[$last]}" -v x="$first" -v y="$last" \
        'BEGIN { printf "; raw %s->%s M samples: time x%.2f wall, x%.2f user+system (linear: x%.2f)", x, y, b / a, d / c, y / x }')
fi
echo "bench: $summary$linear"
