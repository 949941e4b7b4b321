#!/bin/sh
# Builds and runs every test: in-process, end to end under Xvfb, and the same suite under the sanitizers.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh test

jobs=$(nproc)
root=$(pwd)

# The test builds never touch the installed paths: no data directory (pictures come from
# ./pixmaps below the working directory) and a score file inside the build tree.
configure() {
    dir=$1; shift
    cmake -S . -B "$dir" -DGLIMPWATCH_WERROR=ON \
        -DGLIMPWATCH_DATA_DIR="$root/$dir/no-data-dir" \
        -DGLIMPWATCH_SCORE_FILE="$root/$dir/test-scores/glimpwatch.scores" "$@" >/dev/null
}

echo "== build"
configure build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j "$jobs"

echo "== tests"
(cd build-test && ctest --output-on-failure)
