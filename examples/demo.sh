#!/usr/bin/env bash
# The demo: zx81synth saves the example program to a tape recording (a WAV file), and
# zx81tape recovers the program from the recording. Usage: examples/demo.sh [BUILD_DIR]
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
