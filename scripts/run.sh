#!/usr/bin/env bash
# Sets up the machine, builds everything in build/, registers the settings
# component and runs the preferences page. Arguments go to the page:
#   scripts/run.sh                  lists every preference
#   scripts/run.sh MaxSize 3000     sets one, then shows it again
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
build/bin/tlregsvr build/lib/libTLUtilities4.so
build/bin/tlscript examples/preferences.js "$@"
