#!/bin/bash
# Installs the game as a packager (DESTDIR) and as a local admin would, checks the layout,
# the score permissions and the desktop files, uninstalls it, and plays the installed game
# under Xvfb from an unrelated directory: it finds its pictures and keeps its scores.
#
# usage: scripts/with_xvfb.sh -s 1024x768 install_test.sh SOURCE_DIR WORK_DIR [C++ COMPILER [TOOLKIT
#        [CMAKE OPTION...]]]
# The CMake options (flags, a compiler launcher) are given to the build of the program.
# WORK_DIR keeps the build between runs (or GLIMPWATCH_INSTALL_TEST_BUILD names where: the
# test builds put it beside their own tree, where the compiler cache finds the sources at
# the same relative paths); everything installed goes to WORK_DIR/tree,
# which is made anew each run. Nothing outside WORK_DIR, the build and one temporary
# working directory is touched.
set -eu
. "$(dirname "$0")/common.sh"

[ $# -ge 2 ] || { echo "usage: $0 SOURCE_DIR WORK_DIR [C++ COMPILER [TOOLKIT [CMAKE OPTION...]]]" >&2; exit 2; }
source_dir=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
compiler=${3:-}
toolkit=${4:-gtk2}   # the program is installed the same way whichever toolkit it links
shift $(($# < 4 ? $# : 4))
cmake_options=("$@")

build=${GLIMPWATCH_INSTALL_TEST_BUILD:-$work/build}
tree=$work/tree
logs=$work/logs
prefix=$tree/prefix            # the prefix compiled into the program
stage=$tree/stage              # the DESTDIR of the packager's install
data_dir=$prefix/share/glimpwatch
score_rel=share/glimpwatch/scores/games
score_name=glimpwatch.scores
play_dir=""

cleanup() {
    stop_game
    if [ -n "$play_dir" ]; then
        rm -rf "$play_dir"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ----------------------------------------------------------------------------- build
step "build the program alone, installed under $prefix"
rm -rf "$tree"
mkdir -p "$tree" "$logs"
configure_args=(-S "$source_dir" -B "$build"
    -DGLIMPWATCH_TESTS=OFF -DGLIMPWATCH_BENCH=OFF -DGLIMPWATCH_PROGRAM=ON
    -DCMAKE_INSTALL_PREFIX="$prefix" -DGLIMPWATCH_TOOLKIT="$toolkit"
    # the picture and score paths follow the prefix, as in a default build
    -UGLIMPWATCH_DATA_DIR -UGLIMPWATCH_SCORE_FILE
    # a table that the game writes itself: a helper's setgid install is the package test's
    -DGLIMPWATCH_SCORE_HELPER= -DGLIMPWATCH_OPEN_SCORE_TABLE=ON)
if [ -n "$compiler" ]; then
    configure_args+=(-DCMAKE_CXX_COMPILER="$compiler")
fi
configure_args+=("${cmake_options[@]}")
run_logged "$logs/configure.log" cmake "${configure_args[@]}"
run_logged "$logs/build.log" cmake --build "$build" -j2

# ----------------------------------------------------------------------------- (a) staged
step "install with DESTDIR"
run_logged "$logs/install-staged.log" env DESTDIR="$stage" cmake --install "$build"
root=$stage$prefix
[ ! -e "$prefix" ] || fail "the staged install wrote into the real prefix $prefix"

expect_mode "$root/bin/glimpwatch" 755
for picture in "$source_dir"/pixmaps/*.xpm; do
    expect_mode "$root/share/glimpwatch/pixmaps/$(basename "$picture")" 644
    cmp -s "$picture" "$root/share/glimpwatch/pixmaps/$(basename "$picture")" ||
        fail "installed picture differs: $(basename "$picture")"
done
for sound in "$source_dir"/sounds/*.wav; do
    expect_mode "$root/share/glimpwatch/sounds/$(basename "$sound")" 644
    cmp -s "$sound" "$root/share/glimpwatch/sounds/$(basename "$sound")" ||
        fail "installed sound differs: $(basename "$sound")"
done
for recording in "$source_dir"/replays/*.replay; do
    expect_mode "$root/share/glimpwatch/replays/$(basename "$recording")" 644
    cmp -s "$recording" "$root/share/glimpwatch/replays/$(basename "$recording")" ||
        fail "installed recording differs: $(basename "$recording")"
done
desktop=$root/share/applications/glimpwatch.desktop
metainfo=$root/share/metainfo/io.github.glimpwatch.Glimpwatch.metainfo.xml
man_page=$root/share/man/man6/glimpwatch.6
for file in "$desktop" "$metainfo" "$man_page"; do
    expect_mode "$file" 644
done
for size in 16 22 24 32 48 64 128 256; do
    icon=$root/share/icons/hicolor/${size}x${size}/apps/glimpwatch.png
    expect_mode "$icon" 644
    # the PNG signature, then the width and height of the header chunk
    header=$(od -An -tx1 -N24 "$icon" | tr -d ' \n')
    want=$(printf '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size")
    [ "$header" = "$want" ] || fail "not a $size-pixel PNG: $icon"
done

step "score permissions"
score_dir=$root/$score_rel
expect_mode "$score_dir" 777       # writable by all, and no sticky bit
expect_mode "$score_dir/$score_name" 666
expect_mode "$score_dir/$score_name.lock" 666
expect_table "$score_dir/$score_name"
[ ! -s "$score_dir/$score_name.lock" ] || fail "the lock file is not empty"
[ "$(mode_of "$root/share/glimpwatch")" = 755 ] || fail "the data directory is writable by others"
[ "$(mode_of "$root/share/glimpwatch/pixmaps")" = 755 ] || fail "the picture directory is writable by others"
[ "$(mode_of "$root/share/glimpwatch/sounds")" = 755 ] || fail "the sound directory is writable by others"
[ "$(mode_of "$root/share/glimpwatch/replays")" = 755 ] || fail "the demo's directory is writable by others"

step "validators"
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
echo "desktop-file-validate: clean"
if ! out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
    fail "appstreamcli validate: $out"
fi
if echo "$out" | grep -q '^[EW]:'; then
    fail "appstreamcli validate: $out"
fi
echo "appstreamcli validate --no-net: $(echo "$out" | tail -n 1)"
out=$(MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >"$logs/man.txt") || fail "man -l: $out"
[ -z "$out" ] || fail "man -l: $out"
out=$(groff -man -ww -z "$man_page" 2>&1) || fail "groff: $out"
[ -z "$out" ] || fail "groff -man -ww: $out"
# The page names the paths of this build, and every section is there.
for heading in NAME SYNOPSIS DESCRIPTION OPTIONS PLAYING FILES "EXIT STATUS"; do
    grep -q "^$heading" "$logs/man.txt" || fail "the manual page has no $heading section"
done
tr -d ' \n' <"$logs/man.txt" | grep -qF "$(echo "$prefix/$score_rel/$score_name" | tr -d ' ')" ||
    fail "the manual page does not name the score file $prefix/$score_rel/$score_name"
echo "man -l and groff -ww: clean"

step "reinstall keeps the scores and follows no link"
printf '%-20s %d %d\n' Keeper 7 900 >"$score_dir/$score_name"
rm "$score_dir/$score_name.lock"
ln -s "$tree/planted" "$score_dir/$score_name.lock"
chmod 0755 "$score_dir"
run_logged "$logs/install-again.log" env DESTDIR="$stage" cmake --install "$build"
[ "$(cat "$score_dir/$score_name")" = "$(printf '%-20s %d %d' Keeper 7 900)" ] ||
    fail "a reinstall replaced the high-score table"
[ ! -e "$tree/planted" ] || fail "a reinstall wrote through a link in the score directory"
expect_mode "$score_dir" 777
rm "$score_dir/$score_name" "$score_dir/$score_name.lock"
run_logged "$logs/install-again.log" env DESTDIR="$stage" cmake --install "$build"
expect_table "$score_dir/$score_name"
expect_mode "$score_dir/$score_name" 666
expect_mode "$score_dir/$score_name.lock" 666
[ -z "$(find "$root/share/glimpwatch/scores" -name '.*.new')" ] || fail "a reinstall left a temporary file"

step "uninstall with install_manifest.txt"
manifest=$build/install_manifest.txt
expect_file "$manifest"
if grep -q "$score_name" "$manifest"; then
    fail "the manifest lists the players' score files"
fi
# The manifest names the installed paths as they are meant to be, without DESTDIR.
while IFS= read -r path || [ -n "$path" ]; do
    case $path in
        "$prefix"/*) rm -- "$stage$path" ;;
        *) fail "the manifest lists a file outside the prefix: $path" ;;
    esac
done <"$manifest"
left=$(cd "$stage" && find . ! -type d | sort)
want=$(printf './%s\n' "${prefix#/}/$score_rel/$score_name" "${prefix#/}/$score_rel/$score_name.lock")
if [ "$left" != "$want" ]; then
    echo "left behind:" >&2
    echo "$left" >&2
    fail "the uninstall left files other than the scores"
fi

step "install with --prefix elsewhere"
run_logged "$logs/install-prefix.log" cmake --install "$build" --prefix "$tree/elsewhere"
expect_mode "$tree/elsewhere/bin/glimpwatch" 755
expect_file "$tree/elsewhere/share/glimpwatch/pixmaps/logo.xpm"
expect_file "$tree/elsewhere/share/man/man6/glimpwatch.6"
expect_mode "$tree/elsewhere/$score_rel" 777
expect_table "$tree/elsewhere/$score_rel/$score_name"

# ----------------------------------------------------------------------------- (b) played
step "install into $prefix and play it from another directory"
run_logged "$logs/install.log" cmake --install "$build"
score_file=$prefix/$score_rel/$score_name
expect_table "$score_file"

for tool in xdotool xwininfo; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh test installs it)"
done

# The player is another user when this runs as root, so the open permissions are what
# lets the game save: nobody owns nothing here.
as_player=()
player="$(id -un)"
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    if "${nobody[@]}" test -x "$prefix/bin/glimpwatch" -a -r "$data_dir/pixmaps/logo.xpm" \
        -a -w "$prefix/$score_rel" 2>/dev/null; then
        as_player=("${nobody[@]}")
        player="uid 65534"
    else
        echo "note: $prefix is out of reach of uid 65534; playing as root"
    fi
fi
echo "playing as $player"

play_dir=$(mktemp -d "${TMPDIR:-/tmp}/glimpwatch-play.XXXXXX")
chmod 0755 "$play_dir"
play_home=$tree/home
mkdir -p "$play_home"
check_display "$player"
game_program=$prefix/bin/glimpwatch

step "run 1: start and quit; with nothing new the installed table is left as it is"
touch -d "2000-01-01 00:00" "$score_file"
start_game run1
quit_game run1
[ "$(stat -c %Y "$score_file")" -lt "$(date -d "2000-01-02" +%s)" ] ||
    fail "a quit with no new score rewrote $score_file"
expect_table "$score_file"
expect_mode "$score_file" 666
# Run from a directory without sounds/, the game found every sound where it was installed.
[ ! -s "$logs/run1.err" ] || fail "run 1 wrote to standard error: $(cat "$logs/run1.err")"

step "run 2: a known entry survives, a lost game enters a new one"
seed_table "$score_file"
start_game run2 -l 1
hover_field
# Untouched, the Glimps infect every computer of level 1 in about half a minute.
wait_for 150 "end of the game" visible "End Game"
keys_to "End Game" key Return
keys_to "Enter Name" type --delay 20 Tester
keys_to "Enter Name" key Return
keys_to "View High Scores" key Return
quit_game run2
expect_table "$score_file" "Keeper 7 900" "Tester 1 0" \
    "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1" \
    "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1"
expect_mode "$score_file" 666
expect_mode "$prefix/$score_rel/$score_name.lock" 666
expect_mode "$prefix/$score_rel" 777
[ -z "$(ls -A "$play_dir")" ] || fail "the game left files in its working directory"

step "the installed demo replays to its recorded result, without a display"
want=$(sed -n 's/^result [a-z]* [0-9]* \(-\{0,1\}[0-9]*\) \([0-9]*\)$/Final score: \1 at level \2/p' \
    "$source_dir/replays/demo.replay")
got=$(cd "$play_dir" && env -u DISPLAY HOME="$play_home" "${as_player[@]}" "$game_program" \
    --check-replay "$data_dir/replays/demo.replay" 2>"$logs/check.err") ||
    fail "--check-replay of the installed demo failed: $(cat "$logs/check.err")"
[ -n "$want" ] && [ "$got" = "$want" ] || fail "the installed demo replays to \"$got\", not \"$want\""
echo "$got"

echo "install test passed"
