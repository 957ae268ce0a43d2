#!/usr/bin/env bash
# A photo placed at its natural size, whole processes side by side: our page
# (DrawFile onto a new canvas, SaveAs at quality 75) against djpeg | cjpeg at
# quality 75 on the same file, for a 12 MP (4000 x 3000) and a 64 MP
# (8000 x 8000) photo-like JPEG made here by convert. Each is the fastest of
# TL_BENCH_RUNS (5) runs; then ours / theirs, and the PSNR of our file
# against theirs (the same decoder and encoder settings: above 40 dB).
#   bench/natural-size/run.sh [build folder]   (build-bench/ by default)
set -euo pipefail
export LC_ALL=C  # a decimal point in the shell's clock and in printf

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
runs=${TL_BENCH_RUNS:-5}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tlscript tlregsvr Tessaline4 TLUtilities4 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSALINE_HOME="$work/home"
mkdir -p "$TESSALINE_HOME"
"$build/bin/tlregsvr" "$build/lib/libTessaline4.so" >/dev/null
"$build/bin/tlregsvr" "$build/lib/libTLUtilities4.so" >/dev/null
# 8000 x 8000 is above the default limit of 2000 x 2000 pixels.
"$build/bin/tlscript" "$root/examples/preferences.js" MaxSize 8000 >/dev/null
page="$root/bench/natural-size/natural.js"

# The fastest of $runs runs of the command line (a shell line: it may hold a
# pipe), in seconds, by the shell's own clock.
best() {
  local fastest=""
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    bash -c "$1" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    fastest=$(echo "$start $end ${fastest:-1e9}" | awk '{ d = $2 - $1; print (d < $3) ? d : $3 }')
  done
  echo "$fastest"
}

for size in 4000x3000 8000x8000; do
  in="$work/in-$size.jpg"
  /usr/bin/convert -seed 7 -size "$size" plasma:fractal -blur 0x1 -quality 90 "$in"
  ours=$(best "$build/bin/tlscript $page $in $work/ours.jpg")
  theirs=$(best "djpeg $in | cjpeg -quality 75 >$work/theirs.jpg")
  psnr=$(/usr/bin/compare -metric PSNR "$work/ours.jpg" "$work/theirs.jpg" null: 2>&1 || true)
  echo "== a $size JPEG at its natural size, fastest of $runs whole processes"
  printf 'ours           %.3f s\n' "$ours"
  printf 'djpeg | cjpeg  %.3f s\n' "$theirs"
  printf 'ours / djpeg | cjpeg  %.2f   (PSNR of ours against theirs %s dB)\n' \
    "$(echo "$ours $theirs" | awk '{ print $1 / $2 }')" "$psnr"
done
