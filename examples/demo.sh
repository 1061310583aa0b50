#!/usr/bin/env bash
# The demo: the example program is saved to a tape recording by zx81synth, and zx81tape
# recovers it from the recording. Usage: examples/demo.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build}/bin"
out=demo
rm -rf "$out"
mkdir -p "$out"

echo "== zx81synth: examples/hello.p -> $out/hello.raw (22050 Hz, unsigned 8-bit mono)"
"$bin/zx81synth" examples/hello.p "$out/hello.raw"
echo
echo "== zx81tape $out/hello.raw"
"$bin/zx81tape" "$out/hello.raw"
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
