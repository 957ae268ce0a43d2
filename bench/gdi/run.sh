#!/usr/bin/env bash
# 1,000 stars (DrawShape, polygon, painted) and 50 wrapped paragraphs
# (DrawText) on a 1024 x 1024 canvas from a page (work.js through tlscript and
# libTessaline4.so), beside pycairo drawing the same (work.py; the stars
# antialiased, as Cairo draws by default, and without antialiasing). Each
# command runs 5 times as a whole process; every process draws the work in
# several rounds and prints its fastest round and its mean round. The figures
# are the medians of the 5, in milliseconds of drawing (process start-up and
# the making of the work's strings and points left out), and the ratio ours /
# pycairo. The page runs once more with every shape outside the canvas: the
# same calls with no pixel to draw, the price of the calls themselves. Then
# tl_bench_gdi compares the GDI calls of the same work with Cairo in-process.
# Usage: bench/gdi/run.sh [build folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
python=/usr/bin/python3  # Debian's, with python3-cairo

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target Tessaline4 tlscript tlregsvr tl_bench_gdi >/dev/null

export TESSALINE_HOME=$(mktemp -d)
trap 'rm -rf "$TESSALINE_HOME"' EXIT
"$build/bin/tlregsvr" "$build/lib/libTessaline4.so" >/dev/null

# The medians of the fastest and of the mean rounds of 5 runs of a command.
medians() {
  local runs
  runs=$(for _ in 1 2 3 4 5; do "$@"; done)
  echo "$(cut -d' ' -f1 <<<"$runs" | sort -n | sed -n 3p) $(cut -d' ' -f2 <<<"$runs" | sort -n | sed -n 3p)"
}

# A command's medians as "best ms (mean ms)".
alone() {
  read -r best mean <<<"$(medians "$@")"
  echo "$best ms (mean $mean)"
}

line() {  # work, ours (best mean), theirs (best mean), peer
  read -r ob om <<<"$2"
  read -r tb tm <<<"$3"
  awk -v w="$1" -v ob="$ob" -v om="$om" -v tb="$tb" -v tm="$tm" -v p="$4" 'BEGIN {
    printf "%-11s ours %7.2f ms (mean %7.2f)   %-24s %7.2f ms (mean %7.2f)   ours / theirs %5.2f (mean %5.2f)\n",
      w, ob, om, p, tb, tm, ob / tb, om / tm }'
}

page=$root/bench/gdi/work.js
cairo=$root/bench/gdi/work.py
echo "== $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg);" \
  "$(date -u '+%Y-%m-%d %H:%M UTC')"
stars=$(medians "$build/bin/tlscript" "$page" stars 1000 5)
line stars "$stars" "$(medians "$python" "$cairo" stars 1000 5)" "pycairo, antialiased"
line stars "$stars" "$(medians "$python" "$cairo" stars 1000 5 aliased)" "pycairo, not antialiased"
echo "stars, every call outside the canvas: $(alone "$build/bin/tlscript" "$page" stars 1000 5 outside)"
line paragraphs "$(medians "$build/bin/tlscript" "$page" paragraphs 50 20)" \
  "$(medians "$python" "$cairo" paragraphs 50 20)" "pycairo"
echo "paragraphs, every call outside the canvas: $(alone "$build/bin/tlscript" "$page" paragraphs 50 20 outside)"
echo
echo "== in-process: the GDI calls of the same work against Cairo (ratio Cairo / ours: above 1, we are faster)"
"$build/bin/tl_bench_gdi" work
echo "== load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
