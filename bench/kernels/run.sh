#!/usr/bin/env bash
# The warps against the tools a Linux user would otherwise reach for, in one
# run:
#   1. kernels_bench (Google Benchmark): our affine warp (every core, one
#      thread, the plain kernels) and pixman's bilinear transform on the same
#      work; our bilinear and perspective warps and pixman's projective
#      transform (bilinear filter);
#   2. the whole-process time of ImageMagick's convert (+distort SRT 30,
#      bilinear) and libvips's vips affine (bilinear) turning a 4000 x 3000
#      RGBA picture by 30 degrees, beside our warp of the same picture;
#   3. the whole-process time of convert -distort Perspective and
#      -distort BilinearForward on the 1024 x 1024 picture of the quadrangle
#      cases, beside our warps of it;
# then prints the ratios. Usage: bench/kernels/run.sh [build folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
runs=${TL_BENCH_RUNS:-3}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_BUILD_BENCH=ON -DTL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target kernels_bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The machine may be shared: the fastest repetition is the one least
# disturbed, and the one reported.
echo "== kernels_bench (fastest of $runs repetitions)"
"$build/bin/kernels_bench" --benchmark_min_time=0.5 --benchmark_repetitions="$runs" \
  --benchmark_display_aggregates_only=true \
  --benchmark_out="$work/bench.json" --benchmark_out_format=json

# The shortest of $runs runs of a command, in seconds.
best_time() {
  local best=""
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    best=$(echo "$start $end ${best:-}" | awk '{ t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3 }')
  done
  echo "$best"
}

"$build/bin/kernels_bench" --write-input="$work/in.rgba"
convert=$(command -v convert-im6.q16 || command -v convert)
raw=(-size 4000x3000 -depth 8 "rgba:$work/in.rgba")

im_warp=$(best_time "$convert" "${raw[@]}" -filter point -interpolate bilinear -virtual-pixel transparent \
  +distort SRT 30 -depth 8 "rgba:$work/out-im.rgba")
im_copy=$(best_time "$convert" "${raw[@]}" -depth 8 "rgba:$work/out-im.rgba")
vips rawload "$work/in.rgba" "$work/in.v" 4000 3000 4
vips_warp=$(best_time vips affine "$work/in.v" "$work/out-vips.v" "0.8660254 0.5 -0.5 0.8660254" \
  --interpolate bilinear)
vips_copy=$(best_time vips copy "$work/in.v" "$work/out-vips.v")

# The same corners as kernels_bench's keystone and quadrangle cases.
"$build/bin/kernels_bench" --write-quad-input="$work/quad.rgba"
square=(-size 1024x1024 -depth 8 "rgba:$work/quad.rgba")
distort=(-filter point -interpolate bilinear -virtual-pixel transparent -define distort:viewport=1025x1025+0+0)
im_perspective=$(best_time "$convert" "${square[@]}" "${distort[@]}" \
  -distort Perspective "0,0 200,0  1023,0 824,0  1023,1023 1024,1024  0,1023 0,1024" -depth 8 "rgba:$work/out-q.rgba")
im_bilinear=$(best_time "$convert" "${square[@]}" "${distort[@]}" \
  -distort BilinearForward "0,0 0,60  1023,0 980,0  1023,1023 1024,1024  0,1023 40,900" -depth 8 "rgba:$work/out-q.rgba")
im_square_copy=$(best_time "$convert" "${square[@]}" -depth 8 "rgba:$work/out-q.rgba")

python3 - "$work/bench.json" "$im_warp" "$im_copy" "$vips_warp" "$vips_copy" "$im_perspective" "$im_bilinear" \
  "$im_square_copy" <<'EOF'
import json, sys

path, im_warp, im_copy, vips_warp, vips_copy, im_perspective, im_bilinear, im_square_copy = \
    sys.argv[1], *map(float, sys.argv[2:])
# The fastest repetition of each benchmark.
fastest = {}
for b in json.load(open(path))["benchmarks"]:
    name = b["run_name"].removesuffix("/real_time")
    if b.get("run_type") == "iteration" and (name not in fastest or
                                             b["items_per_second"] > fastest[name]["items_per_second"]):
        fastest[name] = b

def rate(name):
    return fastest[name]["items_per_second"] / 1e6

def seconds(name):
    b = fastest[name]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
    return b["real_time"] * scale

works = ["rotate30", "scale3.7", "scale0.3", "shear", "rotate30_4000x3000", "place32x10000"]
print()
print("== against pixman (destination Mpixels/s; ratio = ours / pixman)")
print(f"{'work':22} {'inter':>5} {'threads':>9} {'single':>9} {'plain':>9} {'pixman':>9} "
      f"{'thr/px':>7} {'one/px':>7}")
for work in works:
    pixman = rate(f"pixman/{work}/bilinear")
    for inter in (17, 1):
        base = f"warp/{work}/inter{inter}"
        threads, single, plain = rate(base + "/threads"), rate(base + "/single"), rate(base + "/plain")
        print(f"{work:22} {inter:>5} {threads:9.0f} {single:9.0f} {plain:9.0f} {pixman:9.0f} "
              f"{threads / pixman:7.2f} {single / pixman:7.2f}")

ours_threads = seconds("warp/rotate30_4000x3000/inter17/threads")
ours_single = seconds("warp/rotate30_4000x3000/inter17/single")
print()
print("== 4000 x 3000 RGBA turned by 30 degrees, seconds (commands: best of their runs);"
      " ratio = theirs / ours on every core")
print(f"ours, warp alone:         {ours_threads:8.3f} (one thread {ours_single:.3f})")
rows = [("ImageMagick convert", im_warp, im_copy), ("libvips vips affine", vips_warp, vips_copy)]
for name, whole, copy in rows:
    net = max(whole - copy, 1e-9)
    print(f"{name + ', whole process:':26}{whole:8.3f}  ratio {whole / ours_threads:6.1f}")
    print(f"{name + ', less a copy:':26}{net:8.3f}  ratio {net / ours_threads:6.1f}  (copy {copy:.3f})")

print()
print("== quadrangles, 1024 x 1024 RGBA, linear (destination Mpixels/s; ratio = ours / pixman projective;"
      " our plain kernels, one thread)")
print(f"{'work':14} {'perspective':>12} {'bilinear':>9} {'pixman':>9} {'persp/px':>9} {'bilin/px':>9}")
for work in ("keystone", "quadrangle", "to_rectangle"):
    perspective, bilinear = rate(f"warp/perspective/{work}/plain"), rate(f"warp/bilinear/{work}/plain")
    pixman = rate(f"pixman/{work}/projective")
    print(f"{work:14} {perspective:12.0f} {bilinear:9.0f} {pixman:9.0f} {perspective / pixman:9.2f} "
          f"{bilinear / pixman:9.2f}")

print()
print("== the same picture onto the keystone and the quadrangle, seconds (commands: best of their runs);"
      " ratio = theirs / ours on one thread")
rows = [("convert -distort Perspective", im_perspective, seconds("warp/perspective/keystone/plain")),
        ("convert -distort BilinearForward", im_bilinear, seconds("warp/bilinear/quadrangle/plain"))]
for name, whole, ours in rows:
    net = max(whole - im_square_copy, 1e-9)
    print(f"{name + ':':34}{whole:7.3f} whole, {net:7.3f} less a copy ({im_square_copy:.3f});"
          f" ours {ours:.4f}; ratio {whole / ours:6.1f} whole, {net / ours:6.1f} net")
EOF
