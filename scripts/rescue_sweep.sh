#!/usr/bin/env bash
# The robustness sweep of zx81rescue against zx81tape: `make rescue-sweep`.
#
# For each impairment of zx81rescue's goals it walks the level up in steps, records the example
# program (examples/hello.p, 335 bytes) with it (bench/sweep_recording: zx81synth's signal,
# the impairment over the whole recording), and gives the recording to both tools at their
# defaults. A level passes for zx81tape when it writes the identical P file; for zx81rescue
# when it exits with 0 (every program found intact) and writes the identical P file. Each
# tool's walk stops at its first failure; the row gives the last level that passed ("-" when
# the first one failed). Noise rows must pass with three seeds. Prints one table row per
# impairment:
#
#   impairment | goal | zx81tape at defaults | zx81rescue
#
# Usage: scripts/rescue_sweep.sh [BUILD_DIR]   (default: build)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
render="$build/bin/sweep_recording"
tape="$build/bin/zx81tape"
rescue="$build/bin/zx81rescue"
for tool in "$render" "$tape" "$rescue"; do
    [ -x "$tool" ] || { echo "rescue-sweep: $tool is missing (run make build first)" >&2; exit 1; }
done
program="$root/examples/hello.p"

work="$(mktemp -d "${TMPDIR:-/tmp}/zx81rescuesweep.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# passes TOOL RATE BITS SEEDS KEY=VALUE...: 0 when TOOL recovers the program from the
# recording made with those settings, with every seed.
passes() {
    local tool=$1 rate=$2 bits=$3 seeds=$4
    shift 4
    local seed ext=raw
    [ "$bits" = 16 ] && ext=wav
    for ((seed = 1; seed <= seeds; seed++)); do
        rm -rf "$work/run" && mkdir "$work/run"
        "$render" "$program" "$work/run/t.$ext" "$rate" "$bits" "seed=$seed" "$@" || return 1
        if [ "$tool" = tape ]; then
            (cd "$work/run" && "$tape" "t.$ext" >/dev/null 2>&1) || return 1
            cmp -s "$program" "$work/run/sweep.p" || return 1
        else
            (cd "$work/run" && "$rescue" -q "t.$ext" >/dev/null 2>&1) || return 1
            cmp -s "$program" "$work/run/SWEEP.p" || return 1
        fi
    done
}

# row LABEL GOAL RATE BITS SEEDS KEY "LEVELS" [KEY=VALUE...]: walks KEY over LEVELS (a level may be
# VALUE or SHOWN:VALUE, SHOWN being what the table prints) for both tools.
row() {
    local label=$1 goal=$2 rate=$3 bits=$4 seeds=$5 key=$6 levels=$7
    shift 7
    local tape_last=- rescue_last=- tape_on=1 rescue_on=1 level shown value
    for level in $levels; do
        shown=${level%%:*}
        value=${level#*:}
        if [ $tape_on = 1 ]; then
            if passes tape "$rate" "$bits" "$seeds" "$key=$value" "$@"; then tape_last=$shown; else tape_on=0; fi
        fi
        if [ $rescue_on = 1 ]; then
            if passes rescue "$rate" "$bits" "$seeds" "$key=$value" "$@"; then rescue_last=$shown; else rescue_on=0; fi
        fi
        [ $tape_on = 0 ] && [ $rescue_on = 0 ] && break
    done
    printf '| %-44s | %-5s | %-12s | %-12s |\n' "$label" "$goal" "$tape_last" "$rescue_last"
}

noise_levels="1 2 3 4 6 8 10 12 14 16 20 24 28 32 40 48 56 64 80 96"
offset_levels="5 10 15 20 30 40 60 80 100 110 120 127"
wow_levels="0.02 0.05 0.1 0.15 0.2 0.25 0.3 0.35 0.4 0.45 0.5"
# 20 log10(128 / peak) dB below the 16-bit full scale, as SHOWN:peak.
db_levels="20:12.8 30:4.048 40:1.28 50:0.4048 60:0.128 66:0.0642 72:0.0322"

printf '| %-44s | %-5s | %-12s | %-12s |\n' "impairment" "goal" "zx81tape" "zx81rescue"
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..46})" "-------" "--------------" "--------------"
row "white noise RMS, 11025 Hz" 16 11025 8 3 noise "$noise_levels"
row "white noise RMS, 22050 Hz" 32 22050 8 3 noise "$noise_levels"
row "white noise RMS, 44100 Hz, tape-shaped pulses" 32 44100 16 3 noise "$noise_levels" shape=tape
row "white noise RMS, 96000 Hz" 64 96000 16 3 noise "$noise_levels"
row "white noise RMS, 192000 Hz" 64 192000 16 3 noise "$noise_levels"
row "DC offset, 22050 Hz" 120 22050 8 1 dc "$offset_levels"
row "hum (50 Hz peak), 22050 Hz" 120 22050 8 1 hum "$offset_levels"
row "hum (50 Hz peak), 176400 Hz" 120 176400 16 1 hum "$offset_levels"
row "amplitude down to (8-bit raw), 22050 Hz" 1 22050 8 1 peak "100 50 30 20 15 10 7 5 3 2 1"
row "dB below full scale (16-bit WAV), 44100 Hz" 60 44100 16 1 peak "$db_levels"
row "dB below full scale (16-bit WAV), 192000 Hz" 60 192000 16 1 peak "$db_levels"
row "wow depth at 0.5 Hz, 11025 Hz" 0.4 11025 8 1 wow "$wow_levels"
row "wow depth at 1 Hz, 44100 Hz" 0.5 44100 16 1 wow "$wow_levels" wowhz=1
row "wow depth at 0.5 Hz, 192000 Hz" 0.5 192000 16 1 wow "$wow_levels"
row "fade (part of the level lost), 22050 Hz" 0.99 22050 8 1 fade "0.5 0.8 0.9 0.95 0.98 0.99 0.995"
row "speed, slow, 11025 Hz" 0.5 11025 8 1 speed "0.9 0.8 0.7 0.6 0.5"
row "speed, fast, 11025 Hz" 1.4 11025 8 1 speed "1.1 1.2 1.3 1.4 1.6 1.8 2.0"
row "speed, slow, 44100 Hz" 0.5 44100 16 1 speed "0.9 0.8 0.7 0.6 0.5"
row "speed, fast, 44100 Hz" 2.0 44100 16 1 speed "1.2 1.4 1.6 1.8 2.0"
row "speed, fast, 192000 Hz" 2.0 192000 16 1 speed "1.2 1.4 1.6 1.8 2.0"
