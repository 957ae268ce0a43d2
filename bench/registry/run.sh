#!/usr/bin/env bash
# The price of one operation: a page (shapes.js) looping 1000 DrawShape calls
# of a 2 x 2 rectangle through tlscript, net of the same page's empty loop,
# for this tree's build beside a peer build (by default commit 74a8503, the
# registry before its change counter, built in build-bench-peer/; another one
# with TL_BENCH_PEER_COMMIT). Prints microseconds
# per call (the median of 5 runs of 10 rounds of 1000) and system calls per
# call (strace -c -f of one run of 1000 calls, net of the empty loop's run),
# and the ratios peer / ours (above 1: we are cheaper).
# Usage: bench/registry/run.sh [build folder] [peer build folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
ours=${1:-$root/build-bench}
peer=${2:-$root/build-bench-peer}
page=$root/bench/registry/shapes.js

build() {
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$2" --target Tessaline4 tlscript tlregsvr >/dev/null
}
build "$root" "$ours"
if [ ! -x "$peer/bin/tlscript" ]; then
  source=$(mktemp -d)
  git -C "$root" archive "${TL_BENCH_PEER_COMMIT:-74a8503}" | tar -x -C "$source"
  build "$source" "$peer"
  rm -rf "$source"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One store per build, with the build's library registered in it.
home() {
  mkdir -p "$work/$1"
  TESSALINE_HOME=$work/$1 "$2/bin/tlregsvr" "$2/lib/libTessaline4.so" >/dev/null
}
home ours "$ours"
home peer "$peer"

# Microseconds per call: median over 5 runs of the loop's milliseconds for
# 10 x 1000 calls, net of the empty loop's.
micros() {
  local build=$1 store=$2 mode=$3
  for run in 1 2 3 4 5; do
    TESSALINE_HOME=$work/$store "$build/bin/tlscript" "$page" 1000 10 "$mode"
  done | sort -n | sed -n 3p
}
# Processor microseconds (user and system) per call: the median over 3 runs
# of 50 x 1000 calls, net of the empty loop's, as GNU time counts them (in
# hundredths of a second), which a loaded machine sways less than the clock.
cpu() {
  local build=$1 store=$2 mode=$3
  for run in 1 2 3; do
    TESSALINE_HOME=$work/$store /usr/bin/time -f '%U %S' -o "$work/time" \
      "$build/bin/tlscript" "$page" 1000 50 "$mode" >/dev/null
    awk '{ print ($1 + $2) * 1000 }' "$work/time"
  done | sort -n | sed -n 2p
}
# System calls of a whole run of 1000 calls.
syscalls() {
  local build=$1 store=$2 mode=$3
  TESSALINE_HOME=$work/$store strace -f -c -o "$work/strace" "$build/bin/tlscript" "$page" 1000 1 "$mode" >/dev/null
  awk '$NF == "total" { print $(NF-2) }' "$work/strace"
}

report() {
  local build=$1 store=$2
  local drawn empty cpu_drawn cpu_empty calls_drawn calls_empty
  drawn=$(micros "$build" "$store" draw)
  empty=$(micros "$build" "$store" empty)
  cpu_drawn=$(cpu "$build" "$store" draw)
  cpu_empty=$(cpu "$build" "$store" empty)
  calls_drawn=$(syscalls "$build" "$store" draw)
  calls_empty=$(syscalls "$build" "$store" empty)
  echo "$drawn $empty $cpu_drawn $cpu_empty $calls_drawn $calls_empty" |
    awk '{ printf "%.2f %.2f %.2f", ($1 - $2) * 1000 / 10000, ($3 - $4) * 1000 / 50000, ($5 - $6) / 1000 }'
}

read -r ours_us ours_cpu ours_calls <<<"$(report "$ours" ours)"
read -r peer_us peer_cpu peer_calls <<<"$(report "$peer" peer)"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'DrawShape 2 x 2, ours: %s us (%s us of processor) and %s system calls per call\n' \
  "$ours_us" "$ours_cpu" "$ours_calls"
printf 'DrawShape 2 x 2, peer: %s us (%s us of processor) and %s system calls per call\n' \
  "$peer_us" "$peer_cpu" "$peer_calls"
echo "$ours_us $peer_us $ours_cpu $peer_cpu $ours_calls $peer_calls" |
  awk '{ printf "ratio peer / ours: %.2f in time, %.2f in processor time, %.2f in system calls\n",
         $2 / $1, $4 / $3, ($5 > 0 ? $6 / $5 : 0) }'
