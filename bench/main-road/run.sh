#!/usr/bin/env bash
# The main road, whole processes side by side: a 400 x 300 thumbnail of one
# 4000 x 3000 photo-like JPEG (made here by convert) through our page
# (DrawFile onto a new canvas, SaveAs at quality 75), djpeg at 1/8, convert
# and gm with their size hints, and vipsthumbnail. Each is the fastest of
# TL_BENCH_RUNS (5) runs; then ours / each, the PSNR of our thumbnail against
# convert's, an empty page (what starting tlscript costs), and thumbnails per
# second from 8 processes at once (djpeg's eighths beside them) and from 8
# threads of one process (tl_bench_main_road_threads), each against one.
# Last, a photo placed at its natural size (natural.js: DrawFile onto a new
# canvas, SaveAs at quality 75) against djpeg | cjpeg at quality 75, for a
# 12 MP (the thumbnail's photo) and a 64 MP photo-like JPEG, with the PSNR
# of ours against theirs (12 MP) and the processor time (user and system) of
# each.
#   bench/main-road/run.sh [build folder]   (build-bench/ by default)
set -euo pipefail
export LC_ALL=C  # a decimal point in the shell's clock and in printf

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
runs=${TL_BENCH_RUNS:-5}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tlscript tlregsvr Tessaline4 TLUtilities4 tl_bench_main_road_threads >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSALINE_HOME="$work/home"
mkdir -p "$TESSALINE_HOME"
"$build/bin/tlregsvr" "$build/lib/libTessaline4.so" >/dev/null
page="$root/bench/main-road/thumbnail.js"
in="$work/in.jpg"
/usr/bin/convert -seed 7 -size 4000x3000 plasma:fractal -blur 0x1 -quality 90 "$in"
echo 'Response.Write("");' >"$work/empty.js"

# The fastest of $runs runs of the command, in seconds. The shell's own clock
# (EPOCHREALTIME): reading the time through a date process would add that
# process's start, some milliseconds here, to every command.
best() {
  local fastest=""
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    fastest=$(echo "$start $end ${fastest:-1e9}" | awk '{ d = $2 - $1; print (d < $3) ? d : $3 }')
  done
  echo "$fastest"
}

names=(ours djpeg convert gm vipsthumbnail)
commands=(
  "$build/bin/tlscript $page $in $work/ours.jpg"
  "djpeg -scale 1/8 -outfile /dev/null $in"
  "/usr/bin/convert -define jpeg:size=800x600 $in -thumbnail 400x300 -quality 75 $work/convert.jpg"
  "gm convert -size 800x600 $in -thumbnail 400x300 -quality 75 $work/gm.jpg"
  "vipsthumbnail $in -s 400x300 -o $work/vips.jpg[Q=75]"
)
declare -A seconds
echo "== a 400 x 300 thumbnail of a 4000 x 3000 JPEG, fastest of $runs whole processes"
for i in "${!names[@]}"; do
  # shellcheck disable=SC2086
  seconds[${names[$i]}]=$(best ${commands[$i]})
  printf '%-14s %.3f s\n' "${names[$i]}" "${seconds[${names[$i]}]}"
done
for name in "${names[@]:1}"; do
  printf 'ours / %-13s %.2f\n' "$name" "$(echo "${seconds[ours]} ${seconds[$name]}" | awk '{ print $1 / $2 }')"
done
/usr/bin/identify -format 'ours: %wx%h %m\n' "$work/ours.jpg"
psnr=$(/usr/bin/compare -metric PSNR "$work/ours.jpg" "$work/convert.jpg" null: 2>&1 || true)
peers=$(/usr/bin/compare -metric PSNR "$work/gm.jpg" "$work/convert.jpg" null: 2>&1 || true)
echo "PSNR against convert: ours $psnr dB, gm $peers dB (above 30 dB passes)"
printf 'empty page     %.3f s\n' "$(best "$build/bin/tlscript" "$work/empty.js")"

# Thumbnails per second: 8 processes, each making $runs thumbnails in turn,
# against one process doing the same; djpeg's decodes the same way, for what
# the machine gives 8 processes at all.
rate() {
  local processes=$1 start end
  shift
  start=$EPOCHREALTIME
  for p in $(seq "$processes"); do
    (for r in $(seq "$runs"); do "$@" "$work/rate-$p-$r.jpg" >/dev/null; done) &
  done
  wait
  end=$EPOCHREALTIME
  echo "$start $end $processes $runs" | awk '{ print $3 * $4 / ($2 - $1) }'
}
ours() { "$build/bin/tlscript" "$page" "$in" "$1"; }
djpeg_eighth() { djpeg -scale 1/8 -outfile "$1" "$in"; }
for name in ours djpeg_eighth; do
  one=$(rate 1 "$name")
  eight=$(rate 8 "$name")
  printf '%-12s per second: 1 process %.1f, 8 processes %.1f (%.2f x)\n' "$name" "$one" "$eight" \
    "$(echo "$eight $one" | awk '{ print $1 / $2 }')"
done
"$build/bin/tl_bench_main_road_threads" "$in" "$work" "$runs"

# 8000 x 8000 is above the default limit of 2000 x 2000 pixels.
"$build/bin/tlregsvr" "$build/lib/libTLUtilities4.so" >/dev/null
"$build/bin/tlscript" "$root/examples/preferences.js" MaxSize 8000 >/dev/null
# The 64 MP photo is the 12 MP one enlarged by vips (convert's pixel cache
# is too small for it under Debian's policy).
vips resize "$in" "$work/natural-8000x8000.jpg[Q=90]" 2 --vscale 2.6666667
cp "$in" "$work/natural-4000x3000.jpg"
for size in 4000x3000 8000x8000; do
  photo="$work/natural-$size.jpg"
  echo "== a $size JPEG at its natural size, fastest of $runs whole processes"
  ours_line="$build/bin/tlscript $root/bench/main-road/natural.js $photo $work/natural-ours.jpg"
  theirs_line="djpeg $photo | cjpeg -quality 75 >$work/natural-theirs.jpg"
  # shellcheck disable=SC2086
  ours=$(best $ours_line)
  theirs=$(best bash -c "$theirs_line")
  # compare's pixel cache holds the 12 MP pictures only.
  psnr=n/a
  [ "$size" = 4000x3000 ] && psnr=$(/usr/bin/compare -metric PSNR "$work/natural-ours.jpg" "$work/natural-theirs.jpg" null: 2>&1 || true)
  printf 'ours           %.3f s\ndjpeg | cjpeg  %.3f s\nours / djpeg | cjpeg %.2f (PSNR of ours against theirs %s dB)\n' \
    "$ours" "$theirs" "$(echo "$ours $theirs" | awk '{ print $1 / $2 }')" "$psnr"
  # shellcheck disable=SC2086
  /usr/bin/time -f 'processor time, ours:          %U s user, %S s system' $ours_line
  /usr/bin/time -f 'processor time, djpeg | cjpeg: %U s user, %S s system' bash -c "$theirs_line"
done
