#!/bin/bash
# Whole-program figures under a private Xvfb: CPU use while playing level 40, start-up to the
# first frame, peak memory, for the GTK 2 and the GTK 3 program side by side. Builds each
# program (with the benchmarks, for the start-up probe).
#
# Environment: TOOLKITS (default "gtk2 gtk3": the programs to measure, in that order),
# BUILD_DIR (default build-measure; the toolkit's name is appended), PLAY_SECONDS (30),
# STARTUP_RUNS (10).
# Sound is on and mixed as a player hears it, but written to /dev/null through SDL's "disk"
# driver, which keeps the pace of a real device; set SDL_AUDIODRIVER to measure another.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
toolkits=${TOOLKITS:-gtk2 gtk3}
play_seconds=${PLAY_SECONDS:-30}
startup_runs=${STARTUP_RUNS:-10}
title="Glimpwatch - An Ombrax Modification"

# No data directory, so the game reads ./pixmaps; the score file stays in the build tree
# (the game is ended with a signal, so it never writes it anyway).
build_program() {
    toolkit=$1
    build=${BUILD_DIR:-build-measure}-$toolkit
    echo "== build ($build, Release, $toolkit)"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DGLIMPWATCH_TESTS=OFF -DGLIMPWATCH_BENCH=ON \
        -DGLIMPWATCH_TOOLKIT="$toolkit" -DGLIMPWATCH_DATA_DIR=/nonexistent \
        -DGLIMPWATCH_SCORE_FILE="$root/$build/glimpwatch-scores/glimpwatch.scores" >/dev/null
    cmake --build "$build" -j2 --target glimpwatch glimpwatch_first_frame >/dev/null
    game=$root/$build/glimpwatch
    probe=$root/$build/bench/glimpwatch_first_frame
    # The player's settings of a fresh player: sound on.
    export XDG_DATA_HOME=$root/$build/player-data
    rm -rf "$XDG_DATA_HOME"
}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-disk}
export SDL_DISKAUDIOFILE=${SDL_DISKAUDIOFILE:-/dev/null}

# A display of our own: the first free number from 90.
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
game_pid=""
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

clk=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }   # utime + stime
# The same in nanoseconds, from the scheduler's account of every thread of the process.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'; }
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"$1\", ($2) }"; }

echo "== machine"
echo "cores: $(nproc); CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //');" \
     "memory: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo);" \
     "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

measure_program() {
    # (a) and (c): level 40 on the 400 field with the pointer over the canvas. Nobody plays, so
    # a game is lost after some 15 s; the end-game dialog stops the timer (it takes the pointer
    # from the canvas), so each game counts only up to its last sample before that dialog, and
    # new games are started until the play time adds up.
    echo "== (a) CPU while playing level 40 on the 400 field, (c) peak memory"
    played=0 game_cpu=0 game_ns=0 x_cpu=0 hwm=0 games=0
    while [ "$(calc '%d' "$played < $play_seconds")" = 1 ]; do
        "$game" -l 40 2>/dev/null &
        game_pid=$!
        wid=$(xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
        eval "$(xdotool getwindowgeometry --shell "$wid")"
        # The canvas is the bottom 400 x 400 square of the window.
        xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 200))
        sleep 0.5
        c0=$(cpu_ticks "$game_pid") n0=$(cpu_ns "$game_pid") x0=$(cpu_ticks "$xvfb") t0=$(now)
        c1=$c0 n1=$n0 x1=$x0 t1=$t0
        while :; do
            sleep 0.5
            c=$(cpu_ticks "$game_pid") nc=$(cpu_ns "$game_pid") x=$(cpu_ticks "$xvfb") t=$(now)
            if xdotool search --onlyvisible --name '^End Game$' >/dev/null 2>&1; then break; fi
            c1=$c n1=$nc x1=$x t1=$t
            [ "$(calc '%d' "$played + $t1 - $t0 >= $play_seconds")" = 1 ] && break
        done
        game_hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$game_pid/status")
        [ "$game_hwm" -gt "$hwm" ] && hwm=$game_hwm
        kill "$game_pid"
        wait "$game_pid" 2>/dev/null || true
        game_pid=""
        games=$((games + 1))
        seconds=$(calc '%.3f' "$t1 - $t0")
        echo "game $games: $seconds s of play; CPU: game $((c1 - c0)) clock ticks" \
             "($(calc '%.1f' "($n1 - $n0) / 1e6") ms), X server $((x1 - x0)) clock ticks; VmHWM $game_hwm kB"
        played=$(calc '%.3f' "$played + $seconds")
        game_cpu=$((game_cpu + c1 - c0))
        game_ns=$((game_ns + n1 - n0))
        x_cpu=$((x_cpu + x1 - x0))
    done
    # The timer fires every 200 ms, so a second of play is five ticks.
    echo "(a) game process: $(calc '%.2f' "100 * $game_cpu / $clk / $played")% of one core over $played s" \
         "(target < 2%); $(calc '%.3f' "100 * $game_ns / 1e9 / $played")% by the scheduler's" \
         "nanosecond account, $(calc '%.0f' "$game_ns / 1e3 / ($played * 5)") us per tick;" \
         "X server: $(calc '%.2f' "100 * $x_cpu / $clk / $played")%"
    echo "(c) peak memory of the game process (VmHWM): $(calc '%.1f' "$hwm / 1024") MB" \
         "(target < $([ "$toolkit" = gtk3 ] && echo 60 || echo 40) MB)"

    # (b): from the exec to the main window showing the logo.
    echo "== (b) start-up to the first frame ($startup_runs runs, the first one may be cold)"
    # With SDL's silent driver, which the game opens like a real device (on its sound thread).
    SDL_AUDIODRIVER=dummy "$probe" --runs "$startup_runs" -- "$game"
    echo "== (b) the same with --mute: the audio library is never touched"
    "$probe" --runs "$startup_runs" -- "$game" --mute
}

for toolkit in $toolkits; do
    build_program "$toolkit"
    echo "== $toolkit"
    measure_program
done
