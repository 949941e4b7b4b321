#!/bin/bash
# Every figure of docs/performance.md in one run, under a private Xvfb, for the GTK 2
# and the GTK 3 program side by side: CPU of the game process and of the X server while
# playing level 40 on each field size, in both redraw modes (only what changed, and
# GLIMPWATCH_FULL_REDRAW), with the growth from the smallest to the largest field as an
# exponent; start-up to the first frame; peak memory; and the game-logic benchmarks. Each
# figure is a median with its spread (lowest to highest).
#
# Environment: TOOLKITS ("gtk2 gtk3"), BUILD_DIR (default build-measure; the toolkit's name
# is appended), SIZES ("400 1000 2000 4000"), MODES ("full damage"), FACTORS ("1": the
# field's factor in its window; "1 2" measures the 2x window too), ROUNDS (5),
# PLAY_SECONDS (10 per round), STARTUP_SIZES ("400 4000"), STARTUP_RUNS (10),
# BENCH_REPETITIONS (10; 0 skips the benchmarks), MUTE (set to 1: the game runs with
# --mute, so the figures leave out the sound thread's mixing).
# Sound is on and mixed as a player hears it, but written to /dev/null through SDL's "disk"
# driver, which keeps the pace of a real device; set SDL_AUDIODRIVER to measure another.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
toolkits=${TOOLKITS:-gtk2 gtk3}
game_options=()
[ "${MUTE:-0}" = 1 ] && game_options=(--mute)
sizes=${SIZES:-400 1000 2000 4000}
modes=${MODES:-full damage}
factors=${FACTORS:-1}
rounds=${ROUNDS:-5}
play_seconds=${PLAY_SECONDS:-10}
startup_sizes=${STARTUP_SIZES:-400 4000}
startup_runs=${STARTUP_RUNS:-10}
bench_repetitions=${BENCH_REPETITIONS:-10}
title=$(sed -n 's/.*MAIN_TITLE\[\] = "\(.*\)";/\1/p' gui/title.h)

# No data directory, so the game reads ./pixmaps; the score file stays in the build tree
# (the game is ended with a signal, so it never writes it anyway).
build_program() {
    toolkit=$1
    build=${BUILD_DIR:-build-measure}-$toolkit
    echo "== build ($build, Release, $toolkit)"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DGLIMPWATCH_TESTS=OFF -DGLIMPWATCH_BENCH=ON \
        -DGLIMPWATCH_TOOLKIT="$toolkit" -DGLIMPWATCH_DATA_DIR=/nonexistent \
        -DGLIMPWATCH_SCORE_FILE="$root/$build/glimpwatch-scores/glimpwatch.scores" >/dev/null
    cmake --build "$build" -j2 --target glimpwatch glimpwatch_first_frame glimpwatch_bench >/dev/null
    game=$root/$build/glimpwatch
    probe=$root/$build/bench/glimpwatch_first_frame
    # The player's settings of a fresh player: sound on.
    export XDG_DATA_HOME=$root/$build/player-data
    rm -rf "$XDG_DATA_HOME"
}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-disk}
export SDL_DISKAUDIOFILE=${SDL_DISKAUDIOFILE:-/dev/null}

# A screen that holds the largest field whole, so that every copy to the window is paid.
side=$(( $(printf '%s\n' $sizes $startup_sizes | sort -n | tail -n 1) + 200 ))
[ "$side" -lt 1280 ] && side=1280
# Everything runs under an X server of its own: the script starts itself again under
# scripts/with_xvfb.sh, which gives it DISPLAY and the server's process id (XVFB_PID). The
# server's log is kept only when something went wrong.
if [ "${XVFB_WRAPPER_PID:-}" != "$PPID" ]; then
    xvfb_log=$(mktemp /tmp/glimpwatch-measure-xvfb.XXXXXX)
    status=0
    scripts/with_xvfb.sh -s "${side}x${side}" -l "$xvfb_log" -- "$0" "$@" || status=$?
    [ "$status" -eq 0 ] && rm -f "$xvfb_log"
    [ "$status" -eq 0 ] || echo "the X server's log: $xvfb_log" >&2
    exit "$status"
fi
xvfb=$XVFB_PID
game_pid=""
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# CPU in nanoseconds, from the scheduler's account of every thread of the process.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f", s }'; }
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"$1\", ($2) }"; }

echo "== machine"
echo "cores: $(nproc); CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //');" \
     "memory: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo);" \
     "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

# (a) and (c): level 40 with the pointer over the canvas. Nobody plays, so on the small
# fields a game is lost after some 15 s; the end-game dialog stops the timer (it takes the
# pointer from the canvas), so each game counts only up to its last sample before that
# dialog, and new games are started until the round's play time adds up. CPU is the
# scheduler's nanosecond account of every thread, of the game and of the X server.
# One round prints: game ms per tick, X server ms per tick, both as % of one core, VmHWM kB.
play_round() {
    size=$1 mode=$2 factor=${3:-1}
    played=0 game_ns=0 x_ns=0 hwm=0
    # The window opens with the field at the factor the player kept.
    mkdir -p "$XDG_DATA_HOME/glimpwatch"
    printf 'factor %s\nfull-screen no\n' "$factor" >"$XDG_DATA_HOME/glimpwatch/view"
    # A round runs in a subshell of its own: a game it leaves behind, it ends itself.
    trap 'if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi' EXIT
    while [ "$(calc '%d' "$played < $play_seconds")" = 1 ]; do
        if [ "$mode" = full ]; then
            GLIMPWATCH_FULL_REDRAW=1 "$game" "${game_options[@]}" --size "$size" -l 40 &
        else
            env -u GLIMPWATCH_FULL_REDRAW "$game" "${game_options[@]}" --size "$size" -l 40 &
        fi
        game_pid=$!
        wid=$(xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
        if [ -z "$wid" ]; then
            echo "no game window on $DISPLAY (has the X server gone away?)" >&2
            exit 1
        fi
        # The field is the bottom square of the window, size x factor pixels a side, once the
        # window has taken the kept factor.
        for _ in $(seq 50); do
            eval "$(xdotool getwindowgeometry --shell "$wid")"
            [ "$WIDTH" -ge $((size * factor)) ] && break
            sleep 0.1
        done
        xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - size * factor / 2))
        # Start-up and the level's first frames (the whole field drawn and copied) are not
        # play: the sampling starts a while later, longer on the large fields.
        sleep "$(calc '%.1f' "1 + $size / 1000")"
        # Looking for the dialog costs the X server some 2 ms each time, as much as several
        # ticks: that cost is taken out (probe, the looks made before the last sample).
        n0=$(cpu_ns "$game_pid") x0=$(cpu_ns "$xvfb") t0=$(now)
        n1=$n0 x1=$x0 t1=$t0 probe=0 probe_before_x1=0
        while :; do
            sleep 0.5
            nc=$(cpu_ns "$game_pid") x=$(cpu_ns "$xvfb") t=$(now)
            if xdotool search --onlyvisible --name '^End Game$' >/dev/null 2>&1; then break; fi
            n1=$nc x1=$x t1=$t probe_before_x1=$probe
            probe=$((probe + $(cpu_ns "$xvfb") - x))
            [ "$(calc '%d' "$played + $t1 - $t0 >= $play_seconds")" = 1 ] && break
        done
        game_hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$game_pid/status")
        [ "$game_hwm" -gt "$hwm" ] && hwm=$game_hwm
        kill "$game_pid"
        wait "$game_pid" 2>/dev/null || true
        game_pid=""
        played=$(calc '%.3f' "$played + $t1 - $t0")
        game_ns=$((game_ns + n1 - n0))
        x_ns=$((x_ns + x1 - x0 - probe_before_x1))
    done
    # The timer fires every 200 ms, so a second of play is five ticks.
    echo "$(calc '%.3f' "$game_ns / 1e6 / ($played * 5)") $(calc '%.3f' "$x_ns / 1e6 / ($played * 5)")" \
         "$(calc '%.3f' "100 * ($game_ns + $x_ns) / 1e9 / $played")" "$hwm"
}

# Median, lowest and highest of the numbers on standard input.
spread() { sort -g | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                                              printf "%s (%s to %s)", m, v[1], v[NR] }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

measure_program() {
    echo "== (a) CPU per tick while playing level 40, $rounds rounds of $play_seconds s; (c) peak memory"
    results=$(mktemp)
    for size in $sizes; do
        for mode in $modes; do
          for factor in $factors; do
            label=$mode
            [ "$factor" = 1 ] || label="$mode-${factor}x"
            for round in $(seq "$rounds"); do
                line=$(play_round "$size" "$mode" "$factor")
                echo "$size $label $line" >>"$results"
                echo "$size $label round $round: game $(echo "$line" | cut -d' ' -f1) ms/tick," \
                     "X server $(echo "$line" | cut -d' ' -f2) ms/tick, $(echo "$line" | cut -d' ' -f3) % of one core," \
                     "VmHWM $(echo "$line" | cut -d' ' -f4) kB"
            done
          done
        done
    done
    # The rows below, one per mode and factor.
    labels=""
    for mode in $modes; do
        for factor in $factors; do
            if [ "$factor" = 1 ]; then labels="$labels $mode"; else labels="$labels $mode-${factor}x"; fi
        done
    done
    echo "field mode: game ms/tick | X server ms/tick | % of one core (median, lowest to highest) | peak VmHWM"
    for size in $sizes; do
        for mode in $labels; do
            rows() { awk -v s="$size" -v m="$mode" -v c="$1" '$1 == s && $2 == m { print $c }' "$results"; }
            echo "$size $mode: $(rows 3 | spread) | $(rows 4 | spread) | $(rows 5 | spread) |" \
                 "$(calc '%.1f' "$(rows 6 | sort -n | tail -n 1) / 1024") MB"
        done
    done
    # The growth of the cost with the field: cost ~ size^k, k from the smallest and largest field.
    first=$(echo "$sizes" | awk '{ print $1 }') last=$(echo "$sizes" | awk '{ print $NF }')
    if [ "$first" != "$last" ]; then
        for mode in $labels; do
            c0=$(awk -v s="$first" -v m="$mode" '$1 == s && $2 == m { print $5 }' "$results" | median)
            c1=$(awk -v s="$last" -v m="$mode" '$1 == s && $2 == m { print $5 }' "$results" | median)
            echo "growth from $first to $last ($mode): size^$(calc '%.2f' "log($c1 / $c0) / log($last / $first)")"
        done
    fi
    rm -f "$results"

    # (b): from the exec to the main window showing the logo.
    for size in $startup_sizes; do
        for mode in $modes; do
            echo "== (b) start-up to the first frame, $size field, $mode ($startup_runs runs, the first one may be cold)"
            if [ "$mode" = full ]; then
                GLIMPWATCH_FULL_REDRAW=1 "$probe" --runs "$startup_runs" --size "$size" -- "$game" "${game_options[@]}" --size "$size"
            else
                env -u GLIMPWATCH_FULL_REDRAW "$probe" --runs "$startup_runs" --size "$size" -- "$game" "${game_options[@]}" --size "$size"
            fi
        done
    done

    # (d): the game logic against the null back end, and the changed-rectangle computation.
    if [ "$bench_repetitions" -gt 0 ]; then
        echo "== (d) benchmarks, $bench_repetitions repetitions: median and coefficient of variation"
        "$root/$build/bench/glimpwatch_bench" --benchmark_repetitions="$bench_repetitions" \
            --benchmark_report_aggregates_only=true 2>&1 | grep -E '_(median|cv) '
    fi
}

for toolkit in $toolkits; do
    build_program "$toolkit"
    echo "== $toolkit"
    measure_program
done
