#!/usr/bin/env bash
# Sets up the machine, builds everything in build/, registers both servers
# (the graphics library and the settings component) and runs the main road:
# examples/photo.js draws a 4000 x 3000 picture of shapes and text and saves
# it as build/examples/photo.jpg, then examples/thumbnail.js makes its
# 400 x 300 thumbnail with a caption, build/examples/thumbnail.jpg.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
build/bin/tlregsvr build/lib/libTessaline4.so
build/bin/tlregsvr build/lib/libTLUtilities4.so
mkdir -p build/examples
build/bin/tlscript examples/photo.js build/examples/photo.jpg
build/bin/tlscript examples/thumbnail.js build/examples/photo.jpg build/examples/thumbnail.jpg
