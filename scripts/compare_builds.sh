#!/usr/bin/env bash
# Runs two builds of zx81tape on the same generated inputs and compares everything they do:
# the exit status, standard output, the error stream, both streams written into one file (so
# that the order of their flushes counts too), and the name and bytes of every file left
# behind. Used to show that a change leaves the converter's behaviour exactly as it was.
#
#   scripts/compare_builds.sh OLD_BIN_DIR NEW_BIN_DIR [CASES]
#
# OLD_BIN_DIR and NEW_BIN_DIR each hold a zx81tape (a build's bin folder). CASES (default 300)
# random cases are made from the seed COMPARE_SEED (default 1):
#   - recordings that zx81synth makes (from OLD_BIN_DIR, or SYNTH=path) of random programs under
#     random names (up to 60 characters), with a random rate, level, pulse shape, noise, hum,
#     DC offset, speed, wow, fade, dropout, lead and trail; raw, 8-bit and 16-bit WAV, and, when
#     a C++ compiler and libsndfile's pkg-config entry are there, FLAC, 24-bit and floating-point
#     WAV and stereo files made by a small converter that this script compiles;
#   - bit files of random text (bits, unknown bits, line breaks, other bytes), and the bit file
#     of a recording with some bits made unknown;
#   - odd inputs: empty, random bytes, one level, recordings of exactly one and of just over one
#     block of 2,000,000 samples, names with a directory or no extension;
# each converted with random options (-i -o -r -b -p -c -m -l -z -fNAME n= k= and unknown
# ones, in either letter case), and then up to twice again in the same folder with other
# options, so that existing bit and P files are reused or rebuilt.
#
# Prints one line per difference (and one per run with COMPARE_VERBOSE=1) and a summary; exit status 0 when both builds agree on every
# case, 1 when they differ (the differing cases are kept in KEEP_DIR, default
# ./compare-failures), 2 for bad usage.
set -uo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 OLD_BIN_DIR NEW_BIN_DIR [CASES]" >&2
    exit 2
fi
old_tape="$(cd "$1" && pwd)/zx81tape"
new_tape="$(cd "$2" && pwd)/zx81tape"
cases="${3:-300}"
synth="${SYNTH:-$(cd "$1" && pwd)/zx81synth}"
keep="${KEEP_DIR:-$PWD/compare-failures}"
for tool in "$old_tape" "$new_tape" "$synth"; do
    [ -x "$tool" ] || { echo "compare_builds: $tool is missing" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/zx81compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT
RANDOM="${COMPARE_SEED:-1}"

# The converter from raw samples to other sound files, when it can be built.
to_sound=""
if command -v c++ >/dev/null && pkg-config --exists sndfile 2>/dev/null; then
    cat >"$work/to_sound.cpp" <<'EOF'
// to_sound IN.raw OUT KIND RATE: unsigned 8-bit samples into a sound file of KIND.
#include <sndfile.h>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <vector>
int main(int argc, char** argv) {
    if (argc != 5) return 2;
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in) return 1;
    std::vector<unsigned char> raw;
    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) raw.insert(raw.end(), chunk, chunk + got);
    std::fclose(in);
    const char* kind = argv[3];
    SF_INFO info{};
    info.samplerate = std::atoi(argv[4]);
    info.channels = std::strcmp(kind, "stereo") == 0 ? 2 : 1;
    if (std::strcmp(kind, "flac") == 0) info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else if (std::strcmp(kind, "flac24") == 0) info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    else if (std::strcmp(kind, "wav24") == 0) info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    else if (std::strcmp(kind, "float") == 0) info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    else if (std::strcmp(kind, "aiff") == 0) info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    else info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(argv[2], SFM_WRITE, &info);
    if (!out) return 1;
    std::vector<double> frames(raw.size() * info.channels);
    for (std::size_t i = 0; i < raw.size(); ++i)
        for (int c = 0; c < info.channels; ++c) frames[i * info.channels + c] = (raw[i] - 128) / 128.0;
    const sf_count_t n = static_cast<sf_count_t>(raw.size());
    const bool ok = sf_writef_double(out, frames.data(), n) == n;
    return sf_close(out) == 0 && ok ? 0 : 1;
}
EOF
    # shellcheck disable=SC2046
    if c++ -O1 -o "$work/to_sound" "$work/to_sound.cpp" $(pkg-config --cflags --libs sndfile) \
        2>"$work/to_sound.log"; then
        to_sound="$work/to_sound"
    fi
fi
[ -n "$to_sound" ] || echo "compare_builds: no FLAC or other sound files (no c++ or libsndfile)" >&2

# The random choices never run in a subshell, which would draw from a new seed: each helper
# leaves its result in a variable.
pick() { # pick WORD...: one of the words, in $picked
    local words=("$@")
    picked="${words[RANDOM % ${#words[@]}]}"
}
chance() { # chance PERCENT: true that often
    [ $((RANDOM % 100)) -lt "$1" ]
}
random_bytes() { # random_bytes COUNT FILE: COUNT bytes from the seed's sequence
    LC_ALL=C awk -v seed="$RANDOM$RANDOM" -v n="$1" \
        'BEGIN { srand(seed); for (i = 0; i < n; i++) printf "%c", int(rand() * 256) }' >"$2"
}

# A saved name of 1 to 60 characters the ZX81 has (the converter cuts at 39), in $name.
random_name() {
    local chars='ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 $:?()><=+-*/;,."' longest=12 i
    chance 20 && longest=60
    local length=$((1 + RANDOM % longest))
    name=""
    for ((i = 0; i < length; i++)); do name+="${chars:RANDOM % ${#chars}:1}"; done
    [ "${name// /}" = "" ] && name="X$name"
}

# zx81synth options for a random recording, in the array sopts and the rate in $rate.
synth_options() {
    pick 8000 11025 16000 22050 22050 22050 32000 44100 48000 96000 $((8000 + RANDOM * 4))
    rate="$picked"
    sopts=(--rate "$rate")
    chance 50 && sopts+=(--amplitude $((3 + RANDOM % 125)))
    chance 30 && pick sine tape && sopts+=(--shape "$picked")
    chance 30 && pick 0.5 1 2 3 5 8 12 && sopts+=(--noise "$picked")
    chance 10 && pick -20 -8 5 15 30 && sopts+=(--dc="$picked")
    chance 10 && pick 3 10 20 && sopts+=(--hum "$picked,$((50 + RANDOM % 2 * 10))")
    chance 15 && pick 0.6 0.9 0.97 1.05 1.3 1.8 && sopts+=(--speed "$picked")
    chance 15 && pick 0.02 0.05 0.1 && sopts+=(--wow "$picked,$((1 + RANDOM % 8))")
    chance 10 && pick 0.3 0.8 0.95 && sopts+=(--fade "$picked")
    chance 10 && pick 0 0.05 0.3 && sopts+=(--dropout "$((RANDOM % 3000)),$((1 + RANDOM % 20)),$picked")
    chance 40 && pick 0 5 50 300 && sopts+=(--lead "$picked")
    chance 40 && pick 0 5 50 300 && sopts+=(--trail "$picked")
    chance 10 && sopts+=(--invert)
    sopts+=(--seed "$RANDOM")
}

# Random converter options, in random letter case, in the array topts.
tape_options() {
    local flag
    topts=()
    for flag in -i -o -r -b -p -c -m -l -z; do
        chance 15 || continue
        chance 50 && flag="${flag^^}"
        chance 10 && flag+=junk
        topts+=("$flag")
    done
    if chance 25; then
        pick 30 0 2 10 20 40 60 100 130 239 254 255 -5 "$((RANDOM % 300))" " 40" 7x
        local value="$picked"
        pick n N
        topts+=("$picked=$value")
    fi
    if chance 25; then
        pick 3 0 1 2 4 6 7 100 -2 x
        local value="$picked"
        pick k K
        topts+=("$picked=$value")
    fi
    chance 15 && pick out.p game.P sub/out.p "" "$input" tape.bit && topts+=("-f$picked")
    chance 5 && pick -x -e x=5 - && topts+=("$picked")
}

# Random bit-file text: bits, some unknown, with line breaks and other bytes between them.
random_bit_text() { # random_bit_text FILE
    local count=$((RANDOM % 4000)) unknown=$((RANDOM % 3)) i line=0 r
    local out=""
    for ((i = 0; i < count; i++)); do
        r=$((RANDOM % 100))
        if [ "$r" -lt "$unknown" ]; then out+="?"; elif [ "$r" -lt 52 ]; then out+="0"; else out+="1"; fi
        if ((++line == 64)); then
            out+=$'\r\n'
            line=0
        fi
        chance 1 && pick ' ' x $'\n' 2 . && out+="$picked"
    done
    printf '%s' "$out" >"$1"
}

# Makes the input of one case in DIR and sets $input to its name; false when none was made.
make_input() {
    local dir="$1" kind program="$work/program.p" stem raw="$work/rec.raw" size
    pick raw raw raw wav8 wav16 sound sound bits bits odd
    kind="$picked"
    size=$((RANDOM % 1500))
    chance 10 && size=$((3000 + RANDOM % 6000))
    random_bytes "$size" "$program"
    random_name
    synth_options
    pick tape tape Game.x "with space" d/tape "long$(printf 'n%.0s' {1..150})"
    stem="$picked"
    mkdir -p "$dir/d"
    case "$kind" in
    raw | wav8 | wav16 | sound | bits)
        "$synth" "${sopts[@]}" --name "$name" "$program" "$raw" 2>/dev/null || return 1
        case "$kind" in
        raw)
            pick .raw .RAW "" .au .w
            input="$stem$picked"
            cp "$raw" "$dir/$input"
            ;;
        wav8 | wav16)
            pick .wav .WAV
            input="$stem$picked"
            "$synth" "${sopts[@]}" --name "$name" --bits "${kind#wav}" "$program" "$work/rec.wav" \
                2>/dev/null || return 1
            cp "$work/rec.wav" "$dir/$input"
            ;;
        sound)
            if [ -z "$to_sound" ]; then
                input="$stem.raw"
                cp "$raw" "$dir/$input"
            else
                pick flac flac flac24 wav24 float stereo aiff
                input="$stem.$picked"
                "$to_sound" "$raw" "$work/rec.snd" "$picked" "$rate" || return 1
                cp "$work/rec.snd" "$dir/$input"
            fi
            ;;
        bits)
            # The bit file of the recording, with a few bits made unknown or changed.
            pick .bit .BIT .b .bak
            input="$stem$picked"
            local bits_dir="$work/bits" bit_size at
            rm -rf "$bits_dir"
            mkdir -p "$bits_dir"
            cp "$raw" "$bits_dir/t.raw"
            (cd "$bits_dir" && "$old_tape" t.raw >/dev/null 2>&1)
            if [ -f "$bits_dir/t.bit" ] && chance 70; then
                bit_size=$(wc -c <"$bits_dir/t.bit")
                for ((at = 0; bit_size > 0 && at < RANDOM % 4; at++)); do
                    pick '?' 0 1 x
                    printf '%s' "$picked" | dd of="$bits_dir/t.bit" bs=1 \
                        seek=$((RANDOM * 7 % bit_size)) conv=notrunc 2>/dev/null
                done
                cp "$bits_dir/t.bit" "$dir/${input%.*}.bit"
            else
                random_bit_text "$dir/${input%.*}.bit"
            fi
            ;;
        esac
        ;;
    odd)
        pick .raw "" .p .prg
        input="$stem$picked"
        pick empty noise level block block_plus tiny
        case "$picked" in
        empty) : >"$dir/$input" ;;
        noise) random_bytes $((RANDOM * 30)) "$dir/$input" ;;
        level)
            pick '\200' '\377' '\000' '\220'
            head -c $((RANDOM * 20)) /dev/zero | tr '\0' "$picked" >"$dir/$input"
            ;;
        tiny) random_bytes $((RANDOM % 5)) "$dir/$input" ;;
        block | block_plus)
            # Exactly one block of samples (or one more), the recording repeated to fill it.
            local want=2000000
            [ "$picked" = block_plus ] && want=2000001
            "$synth" --name "$name" "$program" "$raw" 2>/dev/null || return 1
            while [ "$(wc -c <"$raw")" -lt "$want" ]; do
                cat "$raw" "$raw" >"$work/rec2.raw"
                mv "$work/rec2.raw" "$raw"
            done
            head -c "$want" "$raw" >"$dir/$input"
            ;;
        esac
        ;;
    esac
    [ -f "$dir/$input" ] || [ -f "$dir/${input%.*}.bit" ]
}

differences=0
compared=0
runs=0
for ((n = 1; n <= cases; n++)); do
    rm -rf "$work/case" "$work/old" "$work/new" "$work/old_both" "$work/new_both" "$work"/*.out \
        "$work"/*.err "$work"/*.status "$work"/*.both
    mkdir -p "$work/case"
    make_input "$work/case" || continue
    for side in old new old_both new_both; do cp -a "$work/case" "$work/$side"; done
    sequence=1
    chance 40 && sequence=$((sequence + 1))
    chance 20 && sequence=$((sequence + 1))
    case_failed=0
    commands=()
    for ((step = 1; step <= sequence; step++)); do
        tape_options
        commands+=("zx81tape $(printf '%q ' "$input" "${topts[@]}")")
        for side in old new; do
            tape="$old_tape"
            [ "$side" = new ] && tape="$new_tape"
            (cd "$work/$side" &&
                "$tape" "$input" "${topts[@]}" >"../$side.out" 2>"../$side.err" </dev/null)
            echo $? >"$work/$side.status"
            (cd "$work/${side}_both" &&
                "$tape" "$input" "${topts[@]}" >"../$side.both" 2>&1 </dev/null)
            echo $? >>"$work/$side.both"
        done
        runs=$((runs + 1))
        [ -z "${COMPARE_VERBOSE:-}" ] ||
            echo "case $n step $step: status $(cat "$work/old.status"): ${commands[-1]}" \
                "($(wc -l <"$work/old.out") lines out, $(wc -l <"$work/old.err") err)"
        for what in status out err both; do
            if ! cmp -s "$work/old.$what" "$work/new.$what"; then
                echo "case $n step $step: $what differs: ${commands[*]}"
                case_failed=1
            fi
        done
        for pair in "old new" "old_both new_both"; do
            set -- $pair
            if ! diff -r "$work/$1" "$work/$2" >/dev/null 2>&1; then
                echo "case $n step $step: files differ ($1, $2): ${commands[*]}"
                diff -rq "$work/$1" "$work/$2" 2>&1 | head -5 | sed 's/^/    /'
                case_failed=1
            fi
        done
        if ls -A "$work/new" "$work/new/d" | grep -q '\.tmp-'; then
            echo "case $n step $step: a temporary file was left: ${commands[*]}"
            case_failed=1
        fi
    done
    compared=$((compared + 1))
    if [ "$case_failed" = 1 ]; then
        differences=$((differences + 1))
        mkdir -p "$keep"
        rm -rf "$keep/case-$n"
        cp -a "$work/case" "$keep/case-$n"
        printf '%s\n' "${commands[@]}" >"$keep/case-$n.commands"
    fi
done

echo "compare_builds: $compared cases, $runs runs of each build (each twice: streams apart and" \
    "together); $differences cases differ"
[ "$differences" = 0 ]
