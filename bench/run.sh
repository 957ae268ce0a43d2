#!/usr/bin/env bash
# Every benchmark in one run, side by side, after a line naming the machine
# (processor, cores, load) and the date, which bench/README.md quotes with
# the figures:
#   bench/run.sh [build folder]      (build-bench/ by default: a Release build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}

echo "== $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg);" \
  "$(date -u '+%Y-%m-%d %H:%M UTC')"
"$root/bench/kernels/run.sh" "$build"
cmake --build "$build" --target tl_bench_reduce_colors tl_bench_gdi tl_bench_export >/dev/null
echo
echo "== colour reduction against ImageMagick"
"$build/bin/tl_bench_reduce_colors"
echo
echo "== GDI text and ellipses against MagickCore"
"$build/bin/tl_bench_gdi"
echo
echo "== 200 captions from a page against convert"
"$root/bench/canvas/run.sh" "$build"
echo
echo "== exporting a canvas as GIF and JPEG against convert, libvips and cjpeg"
"$build/bin/tl_bench_export"
echo
"$root/bench/main-road/run.sh" "$build"
echo
"$root/bench/describe/run.sh" "$build"
echo "== the price of one small DrawShape against an earlier commit"
"$root/bench/registry/run.sh" "$build"
echo "== load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
