#!/usr/bin/env bash
# Antialiased stars through OpenGL from a page against pycairo, whole
# processes side by side: stars.js (tlscript and libTessaline4.so, DrawShape
# "poly" with opengl=true) and stars.py (python3's cairo), the same 1000 stars
# on 1024 x 1024, each net of a one-star run of itself (what starting the
# process costs, and for ours loading OSMesa and compiling its first
# shaders), medians of TL_BENCH_RUNS (5) runs; then the ratio. Last, the cost
# of one star (net of the one-star page, over 1000) on canvases of 256^2,
# 1024^2 and 2048^2, and the ratio 2048^2 / 256^2. First, the floor:
# tl_bench_gl_floor, what a star costs through OSMesa with nothing of ours
# around it, with llvmpipe's rasteriser threads and without (LP_NUM_THREADS=0).
#   bench/gl/run.sh [build folder]   (build-bench/ by default)
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
runs=${TL_BENCH_RUNS:-5}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target Tessaline4 tlscript tlregsvr tl_bench_gl_floor >/dev/null

export TESSALINE_HOME=$(mktemp -d)
trap 'rm -rf "$TESSALINE_HOME"' EXIT
"$build/bin/tlregsvr" "$build/lib/libTessaline4.so" >/dev/null

# The median of $runs runs of the command, in seconds, by the shell's clock.
median() {
  local times=()
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    times+=("$(echo "$start $end" | awk '{ print $2 - $1 }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}
ours() { "$build/bin/tlscript" "$root/bench/gl/stars.js" "$@"; }
theirs() { /usr/bin/python3 "$root/bench/gl/stars.py" "$@"; }

echo "== the floor: one star through OSMesa alone, 1000 calls, best of 5 rounds"
printf 'threads as llvmpipe picks: '; "$build/bin/tl_bench_gl_floor"
printf 'LP_NUM_THREADS=0:          '; LP_NUM_THREADS=0 "$build/bin/tl_bench_gl_floor"

echo "== 1000 antialiased stars on 1024 x 1024, medians of $runs whole processes, net of one star"
declare -A net
for name in ours theirs; do
  one=$(median "$name" 1 1024)
  many=$(median "$name" 1000 1024)
  net[$name]=$(echo "$many $one" | awk '{ print $1 - $2 }')
  printf '%-7s 1 star %.3f s, 1000 stars %.3f s, net %.3f s\n' "$name" "$one" "$many" "${net[$name]}"
done
printf 'ours / pycairo (net): %.1f\n' "$(echo "${net[ours]} ${net[theirs]}" | awk '{ print $1 / $2 }')"

echo "== one star through OpenGL, by canvas size (net of the one-star page, over 1000)"
declare -A each
for side in 256 1024 2048; do
  one=$(median ours 1 "$side")
  many=$(median ours 1000 "$side")
  each[$side]=$(echo "$many $one" | awk '{ print ($1 - $2) / 999 * 1e6 }')
  printf '%4d^2: %.0f us per star\n' "$side" "${each[$side]}"
done
printf '2048^2 / 256^2: %.2f\n' "$(echo "${each[2048]} ${each[256]}" | awk '{ print $1 / $2 }')"
