#!/bin/sh
# Builds and runs every test: in-process, end to end under Xvfb for the GTK 2 and the GTK 3
# program, and the in-process suite under the sanitizers.
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
# The benchmarks are built too, so that they keep compiling, warnings included.
configure build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMPWATCH_BENCH=ON
cmake --build build-test -j "$jobs"

# Each ctest run's summary is kept, so the closing line can count every suite that ran.
# ctest_args, when set, narrows the run (ctest's own options).
ctest_args=""
run_ctest() {
    dir=$1; shift
    status=0
    # shellcheck disable=SC2086
    (cd "$dir" && env "$@" ctest --output-on-failure $ctest_args) >"$dir/ctest.log" 2>&1 || status=$?
    cat "$dir/ctest.log"
    [ "$status" -eq 0 ] || exit "$status"
    suites=$(( suites + $(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log") ))
}
suites=0

# The in-process suite runs in shuffled order; one seed for both of its runs, printed so
# that a failure can be repeated.
seed=$(( $(date +%s) % 99999 + 1 ))
echo "in-process tests shuffled with seed $seed; to repeat an order:" \
    "build-test/tests/unit_tests --gtest_shuffle --gtest_random_seed=$seed"

echo "== tests"
run_ctest build-test GTEST_RANDOM_SEED="$seed"

# The program again with the GTK 3 back end: the end-to-end suite (its 2x and Wayland tests
# included) and the install test, which builds its own. The in-process suite has no toolkit
# and the Debian package is built once: both ran above, so only the program and the
# end-to-end tests are built here.
echo "== GTK 3 build"
configure build-gtk3 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMPWATCH_TOOLKIT=gtk3
cmake --build build-gtk3 -j "$jobs" --target glimpwatch e2e_tests
echo "== GTK 3 tests"
ctest_args="-E ^(unit|package)$"
run_ctest build-gtk3
ctest_args=""

# The in-process suite again under AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer. GTK itself is not sanitizer-clean, so neither the program
# nor the tests that drive it under Xvfb are built here.
echo "== sanitizers"
configure build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMPWATCH_SANITIZE=ON -DGLIMPWATCH_PROGRAM=OFF
cmake --build build-asan -j "$jobs"
run_ctest build-asan GTEST_RANDOM_SEED="$seed" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# A bounded run of the high-score reader's fuzz target (clang's libFuzzer), from the seed
# files; new inputs it finds stay in the build directory. Any crash fails the script.
echo "== fuzz"
configure build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DGLIMPWATCH_FUZZ=ON -DGLIMPWATCH_PROGRAM=OFF \
    -DGLIMPWATCH_TESTS=OFF
cmake --build build-fuzz -j "$jobs"
mkdir -p build-fuzz/corpus
fuzz_log=build-fuzz/high_scores_fuzz.log
fuzz_status=0
build-fuzz/fuzz/high_scores_fuzz -max_total_time=60 -runs=5000000 -timeout=10 \
    -artifact_prefix=build-fuzz/ build-fuzz/corpus fuzz/corpus/high_scores >"$fuzz_log" 2>&1 || fuzz_status=$?
# "Done N runs" closes a clean run; a crash leaves only the "#N" progress lines.
fuzz_runs=$(sed -n -e 's/^Done \([0-9]*\) runs.*/\1/p' -e 's/^#\([0-9]*\).*/\1/p' "$fuzz_log" | tail -n 1)
if [ "$fuzz_status" -ne 0 ]; then
    tail -n 30 "$fuzz_log"
    echo "fuzz: high_scores_fuzz failed (status $fuzz_status) ${fuzz_runs:+after $fuzz_runs inputs}${fuzz_runs:-on a seed file};" \
        "the input is saved in build-fuzz/"
    exit 1
fi
echo "fuzz: high_scores_fuzz ran ${fuzz_runs:-?} inputs, no crash"
suites=$((suites + 1))

# The committed artwork is exactly what tools/draw_art.py draws.
echo "== art"
scripts/check_art.sh
suites=$((suites + 1))
echo "suites: $suites passed, 0 failed"
