#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang 16 (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs them:
#   scripts/fuzz.sh                      every target, 60 seconds each
#   scripts/fuzz.sh NAME|all [SECONDS]   one target (fuzz_NAME) or all, SECONDS each
#   TL_FUZZ_RUNS=N scripts/fuzz.sh ...   at most N inputs each as well
# Each starts from its seeds in fuzz/corpus/NAME and keeps what it finds in
# build-fuzz/corpus/NAME; an input that fails a check is written to
# build-fuzz/crashes/ and the script exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --fuzz

build=build-fuzz
CC=clang-16 CXX=clang++-16 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTL_BUILD_FUZZ=ON \
  -DTL_BUILD_TESTS=OFF -DTL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzzers

if [ "${1:-all}" = all ]; then
  mapfile -t names < <(ls fuzz/corpus)
else
  names=("$1")
fi
limit=(-max_total_time="${2:-60}")
if [ -n "${TL_FUZZ_RUNS:-}" ]; then
  limit+=(-runs="$TL_FUZZ_RUNS")
fi

mkdir -p "$build/crashes" "$build/logs"
passed=0
failed=0
for name in "${names[@]}"; do
  target="$build/bin/fuzz_$name"
  if [ ! -x "$target" ] || [ ! -d "fuzz/corpus/$name" ]; then
    echo "fuzz: no target '$name'; the targets are: $(ls fuzz/corpus | tr '\n' ' ')" >&2
    exit 2
  fi
  mkdir -p "$build/corpus/$name"
  log="$build/logs/$name.log"
  if "$target" "${limit[@]}" -artifact_prefix="$build/crashes/$name-" "$build/corpus/$name" "fuzz/corpus/$name" \
    >"$log" 2>&1; then
    echo "fuzz_$name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" | tail -n 1)"
    passed=$((passed + 1))
  else
    echo "fuzz_$name: FAILED (input kept in $build/crashes/; the end of its log follows)"
    tail -n 30 "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
