# Shell functions shared by the install and package tests: messages, waiting, file modes,
# the high-score table's text, and a game played with xdotool. The tests run under an X
# server of their own (scripts/with_xvfb.sh sets DISPLAY; CTest runs them so).
# The sourcing script sets logs (a directory for logs) and, to play, game_program,
# play_dir (the working directory), play_home (HOME) and as_player (a command prefix that
# runs as the player, or empty).

# The game's window is found by its title.
main_title=$(sed -n 's/.*MAIN_TITLE\[\] = "\(.*\)";/\1/p' "$(dirname "${BASH_SOURCE[0]}")/../../gui/title.h")
empty_line="Anonymous            0 0"
game_pid=""
as_player=()

step() { echo "== $*"; }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Shows a log after a failed command.
run_logged() {
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        fail "command failed: $* (log: $log)"
    fi
}

# Polls a command every 0.1 s until it succeeds or the seconds run out.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$(($(date +%s) + seconds))
    until "$@" >/dev/null 2>&1; do
        if [ "$(date +%s)" -ge "$deadline" ]; then
            fail "no $what after $seconds s"
        fi
        sleep 0.1
    done
}

mode_of() { stat -c %a "$1"; }

expect_mode() {
    local path=$1 want=$2
    [ -e "$path" ] || fail "missing: $path"
    [ ! -L "$path" ] || fail "a link, not a file: $path"
    local got
    got=$(mode_of "$path")
    [ "$got" = "$want" ] || fail "mode $got, not $want: $path"
}

expect_file() { [ -f "$1" ] || fail "missing: $1"; }

# Ten entries as the game writes them; the name and the numbers of entry 1 to 10 given
# as "name level score" arguments, or all ten empty ones.
expect_table() {
    local file=$1
    shift
    local want
    if [ $# -eq 0 ]; then
        want=$(for _ in 1 2 3 4 5 6 7 8 9 10; do echo "$empty_line"; done)
    else
        want=$(for entry in "$@"; do
            # shellcheck disable=SC2086
            set -- $entry
            printf '%-20s %d %d\n' "$1" "$2" "$3"
        done)
    fi
    if [ "$(cat "$file")" != "$want" ]; then
        echo "expected:" >&2
        echo "$want" >&2
        echo "found:" >&2
        cat "$file" >&2
        fail "unexpected high-score table in $file"
    fi
    [ "$(wc -l <"$file")" -eq 10 ] || fail "$file does not hold ten whole lines"
}

# Ten entries into the table at the path given: a known one first, then nine that scored -1,
# so that a lost game's score of 0 enters the table.
seed_table() {
    {
        printf '%-20s %d %d\n' Keeper 7 900
        for _ in 1 2 3 4 5 6 7 8 9; do printf '%-20s %d %d\n' Anonymous 0 -1; done
    } >"$1"
}

# The X server the test runs under, reachable by the player (as_player) too.
check_display() {
    [ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run the test under scripts/with_xvfb.sh"
    wait_for 20 "connection to $DISPLAY for ${1:-$(id -un)}" "${as_player[@]}" xwininfo -root
}

# Only what the script started, by its id.
stop_game() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then
        kill -KILL "$game_pid" 2>/dev/null || true
        wait "$game_pid" 2>/dev/null || true
    fi
    game_pid=""
}

main_window_up() { xwininfo -root -tree | grep -qF "\"$main_title\""; }
visible() { xdotool search --onlyvisible --name "^$1\$"; }
window_of() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

# Sends keys (xdotool key or type) to a window once it shows; in a dialog the first
# widget that takes the focus has it: the OK button, or the entry of the name dialog.
# The window gets the keyboard focus and the keys are real ones (XTest): GTK 3 ignores key
# events sent to a window as synthetic events.
keys_to() {
    local title=$1 command=$2
    shift 2
    wait_for 20 "visible window \"$title\"" visible "$title"
    xdotool windowfocus --sync "$(window_of "$title")" 2>>"$logs/xdotool.log"
    xdotool "$command" "$@" 2>>"$logs/xdotool.log"
}

start_game() {
    local run=$1
    shift
    # Heard nowhere: SDL's silent audio driver, which still has the game load every sound.
    (cd "$play_dir" && HOME=$play_home SDL_AUDIODRIVER=dummy exec "${as_player[@]}" "$game_program" "$@" \
        >"$logs/$run.out" 2>"$logs/$run.err") &
    game_pid=$!
    window_or_end() { main_window_up || ! kill -0 "$game_pid"; }
    wait_for 30 "main window \"$main_title\"" window_or_end
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended at start-up: $(cat "$logs/$run.err")"
}

# The pointer onto the game's field: a game runs only while its player is there.
hover_field() {
    xdotool mousemove --window "$(window_of "$main_title")" 200 200 2>>"$logs/xdotool.log"
}

# Ctrl+Q brings up the Quit dialog, whose OK button has the focus; the game saves what
# is new and ends with status 0.
quit_game() {
    local run=$1
    keys_to "$main_title" key ctrl+q
    keys_to "Quit Game" key Return
    local deadline=$(($(date +%s) + 20))
    while kill -0 "$game_pid" 2>/dev/null; do
        [ "$(date +%s)" -lt "$deadline" ] || fail "the game did not end after Quit"
        sleep 0.1
    done
    local status=0
    wait "$game_pid" || status=$?
    game_pid=""
    [ "$status" -eq 0 ] || fail "the game ended with status $status (stderr: $(cat "$logs/$run.err"))"
}

