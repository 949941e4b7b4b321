#!/bin/bash
# Builds and runs every test: in-process, end to end under Xvfb for the GTK 2 and the GTK 3
# program, the web page in a headless browser, the install and package tests, the in-process
# suite under the sanitizers, the fuzz targets and the art check. `scripts/test.sh quick` is
# the developers' loop: the build, the in-process suite and a few end-to-end tests.
#
# The work is split into stages that run side by side as soon as what they need is there:
# the end-to-end games spend most of their time waiting on real time, while the other
# builds, the sanitizer run and the fuzzer use the cores meanwhile. Each stage writes its
# own log (build-logs/<stage>.log), shown when it ends; a table of every stage's seconds and
# the count of suites close the run.
#
# To add a stage: write a function that runs it (it returns non-zero on failure and counts
# the suites it ran with `suites PASSED FAILED`), and add a `stage` line below naming the
# stages it waits for.
#
# Environment: E2E_JOBS (end-to-end tests run at once per toolkit, 3), CCACHE_DIR (the
# compiler cache, build-ccache in the checkout when ccache is installed).
set -eu
cd "$(dirname "$0")/.."
mode=${1:-all}
case $mode in
    all | quick) ;;
    *) echo "usage: $0 [quick]" >&2; exit 2 ;;
esac
scripts/deps.sh test

root=$(pwd)
# Three at once: the tests that share the build's high-score table take one slot in turn for
# about two minutes, the others fill two slots in as long; more would only crowd the cores.
e2e_jobs=${E2E_JOBS:-3}
logs=$root/build-logs
state=$(mktemp -d "${TMPDIR:-/tmp}/glimpwatch-test.XXXXXX")
trap 'rm -rf "$state"' EXIT
rm -rf "$logs"
mkdir -p "$logs"

# One compiler cache for every build of the run: the install tests and the GTK 3 build
# compile many of the same sources as the first build. It lives in the checkout, so a
# fresh clone starts with an empty one.
launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_DIR=${CCACHE_DIR:-$root/build-ccache}
    # The same sources built in other directories are the same objects: paths below the
    # checkout are compared as relative ones, so that a build tree beside the first finds
    # its objects without running the preprocessor.
    export CCACHE_NOHASHDIR=1 CCACHE_BASEDIR=$root
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# The test builds never touch the installed paths: no data directory (pictures come from
# ./pixmaps below the working directory), a score file inside the build tree that the game
# writes itself (no score helper: the tests run theirs in-process), and each end-to-end
# test names a table of its own in the environment. Line
# tables are all the debug information the tests' backtraces need.
configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DGLIMPWATCH_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${launcher[@]}" \
        -DGLIMPWATCH_DATA_DIR="$root/$dir/no-data-dir" \
        -DGLIMPWATCH_SCORE_FILE="$root/$dir/test-scores/glimpwatch.scores" -DGLIMPWATCH_SCORE_HELPER= \
        -DGLIMPWATCH_TEST_SCORE_FILE_FROM_ENV=ON \
        "$@" >"$logs/$current.configure.log" 2>&1 ||
        { cat "$logs/$current.configure.log"; return 1; }
}

# Builds quietly; the compiler's messages are shown when it fails.
build() {
    local dir=$1
    shift
    cmake --build "$dir" -j 2 "$@" >"$logs/$current.build.log" 2>&1 ||
        { grep -E -A5 'error|warning' "$logs/$current.build.log" | head -n 80; return 1; }
    echo "built $dir"
}

# A stage counts the suites it ran: those that passed, and those that failed.
suites() { echo "$1 ${2:-0}" >"$state/$current.suites"; }

# Runs ctest in a build tree with ctest's options; each test it ran is a suite.
run_ctest() {
    local dir=$1
    shift
    local status=0 failed total
    (cd "$dir" && ctest --output-on-failure "$@") >"$logs/$current.ctest" 2>&1 || status=$?
    grep -v '^ *Start ' "$logs/$current.ctest"
    failed=$(sed -n 's/.* \([0-9]*\) tests failed out of .*/\1/p' "$logs/$current.ctest")
    total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$logs/$current.ctest")
    [ -z "$total" ] || suites "$((total - failed))" "$failed"
    return "$status"
}

# ---------------------------------------------------------------- the stages

# The in-process suite runs in shuffled order; one seed for both of its runs, printed so
# that a failure can be repeated.
seed=$(($(date +%s) % 99999 + 1))

# The first build in two steps, so that the in-process suite (and the check of the
# character class table against GLib) runs while the rest compiles.
build_unit() {
    # The benchmarks are built too, so that they keep compiling, warnings included.
    configure build-test -DGLIMPWATCH_BENCH=ON && build build-test --target unit_tests char_class_table
}
build_gtk2() { build build-test "$@"; }

unit() {
    echo "in-process tests shuffled with seed $seed; to repeat an order:" \
        "build-test/tests/unit_tests --gtest_shuffle --gtest_random_seed=$seed"
    GTEST_RANDOM_SEED=$seed run_ctest build-test -R '^(unit|char_class_table)$'
}

# The end-to-end tests of a build, side by side (each has its own X server).
e2e() { run_ctest "$1" -L e2e -j "$e2e_jobs"; }

# A few end-to-end tests for the quick loop: the window, the options, a dialog, a click.
e2e_smoke() {
    run_ctest build-test -j "$e2e_jobs" \
        -R '^e2e\.(MainWindow\.OpensWithTitle|CommandLine\.|Dialogs\.NewGameOk|Play\.ClickOnAWalkingGlimp|PausedField\.PointerOff)'
}

# The installed game, and the Debian package; they build what they install themselves.
install_test() { run_ctest "$1" -R '^install$'; }
package_test() { run_ctest build-test -R '^package$'; }

# The program again with the GTK 3 back end, for the end-to-end suite (its 2x and Wayland
# tests included) and the install test. The in-process suite has no toolkit and the Debian
# package is built once: both run with the first build.
build_gtk3() {
    configure build-gtk3 -DGLIMPWATCH_TOOLKIT=gtk3 && build build-gtk3 --target glimpwatch e2e_tests
}

# The in-process suite again under AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer. GTK itself is not sanitizer-clean, so neither the program
# nor the tests that drive it under Xvfb are built here. -O1, as the sanitizers advise.
build_asan() {
    configure build-asan -DGLIMPWATCH_SANITIZE=ON -DGLIMPWATCH_PROGRAM=OFF \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" && build build-asan
}
unit_asan() {
    GTEST_RANDOM_SEED=$seed ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        run_ctest build-asan -R '^unit$'
}

# A bounded run of each fuzz target (clang's libFuzzer) from its seed files: the high-score
# reader, and the recording reader with the replay of what it reads. New inputs it finds stay
# in the build directory. Any crash fails the stage. The runs are bounded in time, so they
# run at full priority: they get the inputs they always got (the high-score reader's table
# lives in memory, where a round trip costs no disk).
build_fuzz() {
    configure build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DGLIMPWATCH_FUZZ=ON -DGLIMPWATCH_PROGRAM=OFF \
        -DGLIMPWATCH_TESTS=OFF && build build-fuzz
}
fuzz_target() {
    local target=$1 seeds=$2
    mkdir -p "build-fuzz/corpus-$target"
    local fuzz_log=build-fuzz/$target.log fuzz_status=0 fuzz_runs
    build-fuzz/fuzz/$target -max_total_time=30 -runs=2500000 -timeout=10 \
        -artifact_prefix=build-fuzz/ "build-fuzz/corpus-$target" "fuzz/corpus/$seeds" >"$fuzz_log" 2>&1 || fuzz_status=$?
    # "Done N runs" closes a clean run; a crash leaves only the "#N" progress lines.
    fuzz_runs=$(sed -n -e 's/^Done \([0-9]*\) runs.*/\1/p' -e 's/^#\([0-9]*\).*/\1/p' "$fuzz_log" | tail -n 1)
    if [ "$fuzz_status" -ne 0 ]; then
        tail -n 30 "$fuzz_log"
        echo "fuzz: $target failed (status $fuzz_status) ${fuzz_runs:+after $fuzz_runs inputs}${fuzz_runs:-on a seed file};" \
            "the input is saved in build-fuzz/"
        return 1
    fi
    echo "fuzz: $target ran ${fuzz_runs:-?} inputs, no crash"
}
fuzz() {
    local passed=0 failed=0
    if fuzz_target high_scores_fuzz high_scores; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    if fuzz_target recording_fuzz recordings; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    suites "$passed" "$failed"
    [ "$failed" -eq 0 ]
}

# The game as a web page, built with Debian's emscripten: the in-process suites of the rules
# and the drawing run under node against the core as the browser runs it, and the page is
# played in a headless Chromium (tests/web/page_test.js; its captures go to
# build-web-test/captures). Debian's emscripten needs NODE_PATH under a node of its own.
build_web() {
    export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
    emcmake cmake -S . -B build-web-test -DGLIMPWATCH_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
        >"$logs/build-web-test.configure.log" 2>&1 || { cat "$logs/build-web-test.configure.log"; return 1; }
    build build-web-test
}
web() {
    local status=0 unit_passed=0 unit_failed=0 passed failed
    GTEST_RANDOM_SEED=$seed run_ctest build-web-test -R '^unit$' || status=$?
    read -r unit_passed unit_failed <"$state/$current.suites" || true
    GLIMPWATCH_SITE=$root/build-web-test/site GLIMPWATCH_CAPTURES=$root/build-web-test/captures \
        node --test --test-reporter=tap tests/web/page_test.js >"$logs/$current.browser" 2>&1 || status=1
    cat "$logs/$current.browser"
    passed=$(sed -n 's/^# pass \([0-9]*\)$/\1/p' "$logs/$current.browser")
    failed=$(sed -n 's/^# fail \([0-9]*\)$/\1/p' "$logs/$current.browser")
    [ -n "$passed" ] || failed=1
    suites "$((unit_passed + ${passed:-0}))" "$((unit_failed + ${failed:-0}))"
    return "$status"
}

# The committed artwork is exactly what tools/draw_art.py draws.
art() {
    if scripts/check_art.sh; then suites 1; else suites 0 1; return 1; fi
}

# ---------------------------------------------------------------- running the stages

# stage NAME PRIORITY [AFTER...] -- COMMAND...: runs the command in the background once the
# stages it comes after have passed, at the priority given: "first" for the stages the run
# waits on (the builds before the end-to-end tests, those tests, and the fuzzer's run, which
# is bounded in time), "spare" for the work that fills the cores meanwhile (nice 10, so that
# the games and the X servers, which must keep up with real time, rarely wait for a
# compiler).
run_start=$(date +%s)
stages=()
stage() {
    local name=$1 priority=$2
    shift 2
    local after=()
    while [ "$1" != -- ]; do
        after+=("$1")
        shift
    done
    shift
    stages+=("$name")
    (
        current=$name
        for before in "${after[@]}"; do
            until [ -e "$state/$before.status" ]; do sleep 0.2; done
            if [ "$(cat "$state/$before.status")" != 0 ]; then
                echo "not run: $before failed" >"$logs/$name.log"
                echo skipped >"$state/$name.status"
                exit 0
            fi
        done
        [ "$priority" = spare ] && renice -n 10 -p "$BASHPID" >/dev/null
        start=$(date +%s)
        echo "$((start - run_start))" >"$state/$name.start"
        status=0
        "$@" >"$logs/$name.log" 2>&1 || status=$?
        end=$(date +%s)
        echo "$((end - start))" >"$state/$name.seconds"
        # The processor time of the stage's processes, user and system.
        times >"$state/$name.times"
        tail -n 1 "$state/$name.times" |
            awk '{ gsub(/[ms]/, " "); printf "%.0f\n", $1 * 60 + $2 + $3 * 60 + $4 }' >"$state/$name.cpu"
        # Shown whole and at once, so that stages running side by side do not mix.
        {
            echo "== $name ($((end - start)) s)$([ "$status" -eq 0 ] || echo ", FAILED")"
            cat "$logs/$name.log"
        } >"$state/$name.report"
        flock "$state" cat "$state/$name.report"
        echo "$status" >"$state/$name.status"
    ) &
}

if [ "$mode" = quick ]; then
    stage build-unit first -- build_unit
    stage unit first build-unit -- unit
    stage build first build-unit -- build_gtk2 --target e2e_tests
    stage e2e-smoke first build -- e2e_smoke
else
    stage build-unit first -- build_unit
    stage unit first build-unit -- unit
    stage build first build-unit -- build_gtk2
    stage e2e first build -- e2e build-test
    stage build-gtk3 first build -- build_gtk3
    stage e2e-gtk3 first build-gtk3 -- e2e build-gtk3
    stage build-web spare -- build_web
    stage web first build-web -- web
    stage install spare build -- install_test build-test
    stage install-gtk3 spare build-gtk3 -- install_test build-gtk3
    stage package spare build -- package_test
    stage build-asan spare -- build_asan
    stage unit-asan spare build-asan -- unit_asan
    stage build-fuzz spare -- build_fuzz
    stage fuzz first build-fuzz -- fuzz
    stage art spare -- art
fi
wait

# ---------------------------------------------------------------- the result

# A stage that failed before it ran a suite (a build), or did not run, counts as one failed.
passed=0
failed=0
echo "== stages: seconds, started at (seconds from the start), processor seconds"
for name in "${stages[@]}"; do
    status=$(cat "$state/$name.status")
    { read -r stage_passed stage_failed <"$state/$name.suites"; } 2>/dev/null || stage_passed=0 stage_failed=0
    [ "$status" = 0 ] || [ "$stage_failed" -gt 0 ] || stage_failed=1
    passed=$((passed + stage_passed))
    failed=$((failed + stage_failed))
    case $status in
        0) result="" ;;
        skipped) result="  not run" ;;
        *) result="  FAILED (log: build-logs/$name.log)" ;;
    esac
    printf '%-14s %5s s  at %5s  cpu %5s s%s\n' "$name" "$(cat "$state/$name.seconds" 2>/dev/null || echo -)" \
        "$(cat "$state/$name.start" 2>/dev/null || echo -)" "$(cat "$state/$name.cpu" 2>/dev/null || echo -)" "$result"
done
echo "total: $(($(date +%s) - run_start)) s"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
