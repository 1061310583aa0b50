#!/usr/bin/env bash
# The demo: zx81synth saves the example program to a tape recording (a WAV file), and
# zx81tape recovers the program from the recording; then zx81rescue recovers two programs from
# one noisy, untrimmed recording, on which zx81tape gives up. Usage: examples/demo.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build}/bin"
out=demo
rm -rf "$out"
mkdir -p "$out"

echo "== zx81synth: examples/hello.p -> $out/hello.wav (22050 Hz, 16-bit, tape-shaped pulses, a little noise)"
"$bin/zx81synth" --bits 16 --shape tape --noise 1 examples/hello.p "$out/hello.wav"
echo
echo "== zx81tape $out/hello.wav"
"$bin/zx81tape" "$out/hello.wav"
echo
if cmp -s examples/hello.p "$out/hello.p"; then
    echo "== recovered program: $out/hello.p ($(wc -c < "$out/hello.p") bytes, identical to examples/hello.p)"
else
    echo "== $out/hello.p differs from examples/hello.p" >&2
    exit 1
fi
if [ -x "$bin/zx81list" ]; then
    echo
    echo "== zx81list $out/hello.p"
    "$bin/zx81list" "$out/hello.p"
fi

echo
echo "== zx81synth: two programs one after the other, with hiss, silence around them and a"
echo "   slightly fast second save -> $out/side.raw (raw 8-bit samples, no rate in a header)"
"$bin/zx81synth" --shape tape --noise 6 --lead 2500 --trail 800 examples/hello.p "$out/part1.raw"
"$bin/zx81synth" --shape tape --noise 6 --lead 1500 --trail 2000 --speed 1.03 \
    --name "HELLO AGAIN" examples/hello.p "$out/part2.raw"
cat "$out/part1.raw" "$out/part2.raw" >"$out/side.raw"
rm "$out/part1.raw" "$out/part2.raw"
echo
echo "== zx81tape $out/side.raw"
"$bin/zx81tape" "$out/side.raw" || true
echo
echo "== zx81rescue -o $out/rescued $out/side.raw"
"$bin/zx81rescue" -o "$out/rescued" "$out/side.raw"
for name in HELLO HELLO_AGAIN; do
    if ! cmp -s examples/hello.p "$out/rescued/$name.p"; then
        echo "== $out/rescued/$name.p differs from examples/hello.p" >&2
        exit 1
    fi
done
echo
echo "== recovered: $out/rescued/HELLO.p and $out/rescued/HELLO_AGAIN.p, both identical to examples/hello.p"
