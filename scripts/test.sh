#!/usr/bin/env bash
# Sets up the machine, builds and runs every test suite.
#   scripts/test.sh              the normal build, in build/
#   scripts/test.sh --sanitize   the AddressSanitizer + UBSan build, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  options=(-DCMAKE_BUILD_TYPE=Debug -DTL_SANITIZE=ON -DTL_BUILD_BENCH=OFF)
  # Every program the suites start leaves the dependencies' own losses out
  # of its leak report.
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
fi

cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
