#!/bin/sh
# Builds the game and starts it from the checkout, so that pixmaps/ is found here.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh play
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMPWATCH_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target glimpwatch
exec ./build/glimpwatch "$@"
