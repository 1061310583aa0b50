#!/usr/bin/env bash
# The robustness sweep: walks each impairment of zx81synth up in steps and converts every
# recording with zx81tape, until decoding fails even with the best threshold (n=) and
# tolerance divisor (k=) tried. Prints one table row per impairment:
#
#   impairment | last level that decodes at default options | last level with the best n=/k=
#
# A level "decodes" when zx81tape exits with 0 and writes a P file, under the saved name,
# that is identical to the program. Usage: scripts/sweep.sh [BUILD_DIR]   (default: build)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
synth="$build/bin/zx81synth"
tape="$build/bin/zx81tape"
for tool in "$synth" "$tape"; do
    [ -x "$tool" ] || { echo "sweep: $tool is missing (run make build first)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/zx81sweep.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# The program: the example when there is one, otherwise 400 bytes of a fixed pseudo-random
# sequence ending in the variables' end marker.
program="$work/program.p"
if [ -f "$root/examples/hello.p" ]; then
    cp "$root/examples/hello.p" "$program"
else
    x=12345
    : >"$program"
    for ((i = 0; i < 400; i++)); do
        x=$(((x * 1103515245 + 12345) % 2147483648))
        printf "\\$(printf %03o $(((x >> 16) % 256)))" >>"$program"
    done
    printf '\200' >>"$program"
fi

# The thresholds and tolerance divisors tried when the default (n=30 k=3) fails.
thresholds=(30 20 15 10 8 6 4 3 2 40 50 60 80 100 130 160 200 239)
divisors=(3 2 4 6)

# The noise seeds a level must decode with: one, unless a row with noise asks for more.
seeds=(1)

# decodes OPTIONS... -- CONVERTER-OPTIONS...: 0 when the recording made with OPTIONS converts
# back to the program, with every seed of `seeds`.
decodes() {
    local synth_args=() tape_args=()
    while [ "$1" != "--" ]; do synth_args+=("$1"); shift; done
    shift
    tape_args=("$@")
    local seed
    for seed in "${seeds[@]}"; do
        echo >>"$work/trials"
        rm -rf "$work/run"
        mkdir "$work/run"
        "$synth" --name SWEEP --seed "$seed" "${synth_args[@]}" "$program" "$work/run/t.raw" ||
            return 1
        (cd "$work/run" && "$tape" t.raw "${tape_args[@]}" >/dev/null 2>&1) || return 1
        cmp -s "$program" "$work/run/sweep.p" || return 1
    done
}

# The n=/k= that decode at a level, "-" when none does.
best_settings() {
    local n k
    for n in "${thresholds[@]}"; do
        for k in "${divisors[@]}"; do
            if decodes "$@" -- "n=$n" "k=$k"; then
                echo "n=$n k=$k"
                return
            fi
        done
    done
    echo "-"
}

# One row: walk LABEL over the levels, each turned into synth options by FORMAT (a printf
# format with one %s).
row() {
    local label="$1" format="$2"
    local row_start
    row_start=$(date +%s)
    shift 2
    local level default_last="none" best_last="none" best_used="" default_ok=1
    for level in "$@"; do
        # shellcheck disable=SC2059
        read -r -a opts <<<"$(printf -- "$format" "$level")"
        if [ "$default_ok" = 1 ] && decodes "${opts[@]}" --; then
            default_last="$level"
            best_last="$level"
            continue
        fi
        default_ok=0
        local found
        found="$(best_settings "${opts[@]}")"
        [ "$found" = "-" ] && break
        best_last="$level"
        best_used="$found"
    done
    [ -n "$best_used" ] && best_last="$best_last ($best_used)"
    printf '| %-38s | %-16s | %-26s |\n' "$label" "$default_last" "$best_last"
    [ -z "${SWEEP_TIMES:-}" ] || echo "  row took $(($(date +%s) - row_start)) s" >&2
}

start=$(date +%s)
duration_ms=$(("$("$synth" --name SWEEP "$program" /dev/stdout | wc -c)" * 1000 / 22050))
middle=$((duration_ms / 2))
echo "Program: $(wc -c <"$program") bytes, recording ${duration_ms} ms at 22050 Hz; levels are"
echo "walked up until a level fails at default options and with every n=/k= tried."
echo
printf '| %-38s | %-16s | %-26s |\n' "impairment (zx81synth option)" "default n=30 k=3" \
    "best n=/k= tried"
printf '|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..40})" "$(printf -- '-%.0s' {1..18})" \
    "$(printf -- '-%.0s' {1..28})"
amplitudes=(100 60 40 30 25 20 17 16 15 14 12 10 8 6 5 4 3 2 1)
row "amplitude, down (--amplitude)" "--amplitude %s" "${amplitudes[@]}"
row "sine shape, amplitude down" "--shape sine --amplitude %s" "${amplitudes[@]}"
row "tape shape, amplitude down" "--shape tape --amplitude %s" "${amplitudes[@]}"
row "DC offset (--dc)" "--dc %s" 2 5 8 10 12 14 16 20 30 40 60 80 100 120 127
seeds=(1 2 3)
noises=(1 1.5 2 2.5 3 4 5 6 8 10 12 15 20 25 30 40 50)
row "noise RMS (--noise), 3 seeds" "--noise %s" "${noises[@]}"
row "noise RMS, tape shape, 3 seeds" "--shape tape --noise %s" "${noises[@]}"
seeds=(1)
row "hum 50 Hz peak (--hum)" "--hum %s" 2 5 8 10 12 14 16 20 30 40 60 80 100 127
row "speed, slow (--speed)" "--speed %s" 0.98 0.95 0.9 0.85 0.8 0.75 0.7 0.65 0.6 0.55 0.5
row "speed, fast (--speed)" "--speed %s" 1.02 1.05 1.1 1.15 1.2 1.3 1.4 1.5 1.6 1.8 2
depths=(0.01 0.02 0.03 0.04 0.05 0.06 0.07 0.08 0.1 0.12 0.15 0.18 0.2 0.25 0.3 0.4 0.5)
row "wow depth at 0.5 Hz (--wow D,0.5)" "--wow %s,0.5" "${depths[@]}"
row "flutter depth at 8 Hz (--wow D,8)" "--wow %s,8" "${depths[@]}"
row "fade (--fade)" "--fade %s" 0.1 0.3 0.5 0.7 0.8 0.85 0.9 0.95 0.98 1
lengths=(0.1 0.2 0.3 0.5 1 2 3 5 10 20 50 100)
row "dropout ms mid-recording, level 0.05" "--dropout $middle,%s" "${lengths[@]}"
row "dropout ms mid-recording, silent" "--dropout $middle,%s,0" "${lengths[@]}"
row "rate, up (--rate)" "--rate %s" 96000 112000 120000 124000 128000 144000 160000 192000
row "rate, down, tape shape" "--shape tape --rate %s" 11025 10000 9000 8000
row "inverted (--invert)" "--invert" on
echo
echo "$(wc -l <"$work/trials") recordings converted in $(($(date +%s) - start)) s."
