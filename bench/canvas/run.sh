#!/usr/bin/env bash
# 200 captions of 20-pixel text on a 1024 x 768 canvas: a page (captions.js)
# through tlscript and libTessaline4.so, against ImageMagick's convert drawing
# the same 200 captions in one command. One run of each whole process, then
# the ratio convert / ours (above 1: we are faster). Neither writes a picture.
# Usage: bench/canvas/run.sh [build folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target Tessaline4 tlscript tlregsvr >/dev/null

export TESSALINE_HOME=$(mktemp -d)
trap 'rm -rf "$TESSALINE_HOME"' EXIT
"$build/bin/tlregsvr" "$build/lib/libTessaline4.so" >/dev/null

convert=$(command -v convert-im6.q16 || command -v convert)
annotations=()
for i in $(seq 0 199); do
  annotations+=(-annotate "+$(( i % 8 * 128 ))+$(( i / 8 * 30 ))" "Caption $i")
done

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >"$TESSALINE_HOME/out"
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.3f", $2 - $1 }'
}

ours=$(seconds "$build/bin/tlscript" "$root/bench/canvas/captions.js")
in_page=$(cat "$TESSALINE_HOME/out")
theirs=$(seconds "$convert" -size 1024x768 xc:white -font DejaVu-Sans -pointsize 20 -fill black \
  -gravity NorthWest "${annotations[@]}" null:)

echo "tlscript captions.js: $ours s (the 200 captions $in_page ms of it)"
echo "convert, 200 -annotate: $theirs s"
echo "$ours $theirs" | awk '{ printf "ratio convert / ours: %.2f\n", $2 / $1 }'
