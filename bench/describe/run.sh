#!/usr/bin/env bash
# Describing an image, whole processes side by side: a page calling
# Graphic.SetFile (describe.js, default ReadImages) against identify -ping on
# the same files: a 6000 x 4000 and a 64 MP photo-like JPEG, a 6000 x 4000 PNG,
# a GIF of 300 frames of 1500 x 1500, and a 6000 x 4000 LZW TIFF. Each figure
# is the median of TL_BENCH_RUNS (7) runs, with the peak resident size of one
# run (GNU time); then ours / identify, and an empty page (what starting
# tlscript costs, paid by every page). Last, frame 300 of the GIF drawn onto a
# new canvas (frame.js), its time and peak resident size.
#   bench/describe/run.sh [build folder]   (build-bench/ by default)
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
runs=${TL_BENCH_RUNS:-7}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tlscript tlregsvr Tessaline4 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSALINE_HOME="$work/home"
mkdir -p "$TESSALINE_HOME"
"$build/bin/tlregsvr" "$build/lib/libTessaline4.so" >/dev/null

# The files: a photo-like 6000 x 4000 JPEG by convert, the rest from it by
# vips (convert's pixel cache is too small for 64 MP under Debian's policy).
/usr/bin/convert -seed 7 -size 1500x1000 plasma:fractal -resize 6000x4000 -quality 90 "$work/photo.jpg"
vips resize "$work/photo.jpg" "$work/photo-64mp.jpg[Q=90]" 1.6330 --vscale 2.4495
vips copy "$work/photo.jpg" "$work/photo.png"
vips copy "$work/photo.jpg" "$work/photo.tif[compression=lzw]"
# 300 frames of 1500 x 1500: 75 different ones (the photo stretched into a
# strip, one frame a page) written by vips, their blocks four times over
# behind the header and colour table of that file.
vips resize "$work/photo.jpg" "$work/strip.v" 0.25 --vscale 28.125
vips gifsave "$work/strip.v" "$work/strip.gif" --page-height 1500 --effort 1 --bitdepth 6
flags=$(od -An -tu1 -j10 -N1 "$work/strip.gif" | tr -d ' ')
header=$((13 + (flags >= 128 ? 3 << ((flags & 7) + 1) : 0)))
size=$(stat -c %s "$work/strip.gif")
{
  head -c "$header" "$work/strip.gif"
  for _ in 1 2 3 4; do tail -c +$((header + 1)) "$work/strip.gif" | head -c $((size - header - 1)); done
  printf ';'
} >"$work/frames.gif"
# One frame of flat shapes, the way drawn animations look, 300 times behind
# its header and colour table.
/usr/bin/convert -size 1500x1500 xc:white -fill red -draw 'rectangle 100,100 700,900' -fill blue \
  -draw 'circle 1000,1000 1000,1400' -fill green -draw 'polygon 200,1400 700,1000 900,1450' "$work/shape.gif"
flags=$(od -An -tu1 -j10 -N1 "$work/shape.gif" | tr -d ' ')
header=$((13 + (flags >= 128 ? 3 << ((flags & 7) + 1) : 0)))
size=$(stat -c %s "$work/shape.gif")
{
  head -c "$header" "$work/shape.gif"
  for _ in $(seq 300); do tail -c +$((header + 1)) "$work/shape.gif" | head -c $((size - header - 1)); done
  printf ';'
} >"$work/shapes.gif"
echo 'Response.Write("");' >"$work/empty.js"

# The median of $runs runs of the command, in seconds (the shell's own clock).
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
# The peak resident size of one run, in MiB.
peak() {
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.1f", $1 / 1024 }'
}

echo "== load average $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
empty=$(median "$build/bin/tlscript" "$work/empty.js")
echo "== Graphic.SetFile from a page against identify -ping, median of $runs whole processes"
printf '%-22s %9s %9s %7s %8s %12s %14s\n' file ours identify ratio "net ratio" "ours MiB" "identify MiB"
for file in photo.jpg photo-64mp.jpg photo.png frames.gif photo.tif; do
  path="$work/$file"
  ours=$(median "$build/bin/tlscript" "$root/bench/describe/describe.js" "$path")
  theirs=$(median /usr/bin/identify -ping "$path")
  printf '%-22s %7.1f ms %6.1f ms %7.2f %8.2f %12s %14s\n' "$file" \
    "$(echo "$ours" | awk '{ print $1 * 1000 }')" "$(echo "$theirs" | awk '{ print $1 * 1000 }')" \
    "$(echo "$ours $theirs" | awk '{ print $1 / $2 }')" \
    "$(echo "$ours $theirs $empty" | awk '{ print ($1 - $3) / $2 }')" \
    "$(peak "$build/bin/tlscript" "$root/bench/describe/describe.js" "$path")" \
    "$(peak /usr/bin/identify -ping "$path")"
done
printf 'empty page             %7.1f ms\n' "$(echo "$empty" | awk '{ print $1 * 1000 }')"
"$build/bin/tlscript" "$root/bench/describe/describe.js" "$work/frames.gif" | cut -c1-80
/usr/bin/identify -ping -format '%m %wx%h%X%Y\n' "$work/frames.gif" | sed -n '1p;300p'

for file in shapes.gif frames.gif; do
  echo "== frame 300 of $file ($(($(stat -c %s "$work/$file") >> 20)) MiB) drawn onto a new canvas, median of $runs whole processes"
  printf 'ours                     %7.1f ms, peak %s MiB: %s\n' \
    "$(median "$build/bin/tlscript" "$root/bench/describe/frame.js" "$work/$file" 300 | awk '{ print $1 * 1000 }')" \
    "$(peak "$build/bin/tlscript" "$root/bench/describe/frame.js" "$work/$file" 300)" \
    "$("$build/bin/tlscript" "$root/bench/describe/frame.js" "$work/$file" 300 2>&1 | head -1)"
  printf 'convert %s[299]  %7.1f ms, peak %s MiB\n' "$file" \
    "$(median /usr/bin/convert "$work/$file[299]" "$work/frame.png" | awk '{ print $1 * 1000 }')" \
    "$(peak /usr/bin/convert "$work/$file[299]" "$work/frame.png")"
done
echo "== load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
