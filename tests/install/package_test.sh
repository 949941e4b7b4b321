#!/bin/bash
# Builds the Debian package and checks it with lintian, installs it, and then, as two
# unprivileged users: plays the installed game under Xvfb and enters scores that persist,
# tries to change the shared table without the helper, hands the installed helper bad
# input and closed descriptors, stops one user's helper at every moment of a save while the
# other saves, and saves through it from many processes at once and while being killed. The
# package is purged at the end and the two users removed: the machine is left as it was.
#
# usage: scripts/with_xvfb.sh -s 1024x768 package_test.sh SOURCE_DIR WORK_DIR
# Needs root (it installs a package and adds users); exits 77 (skipped) without it, or
# when the machine holds the package or its files already.
set -eu
. "$(dirname "$0")/common.sh"

[ $# -eq 2 ] || { echo "usage: $0 SOURCE_DIR WORK_DIR" >&2; exit 2; }
source_dir=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
logs=$work/logs

package=glimpwatch
# The package's places and group, as debian/rules gives them to the build and the
# maintainer scripts.
debian_path() { sed -n "s/^$1 *= *//p" "$source_dir/debian/paths.mk"; }
program=$(debian_path bindir)/glimpwatch
data_dir=$(debian_path data_dir)
helper=$(debian_path score_helper)
table=$(debian_path score_file)
group=$(debian_path score_group)
scores=$(dirname "$table")
table_name=$(basename "$table")
users=(glimpwatch-test1 glimpwatch-test2)

skip() {
    echo "SKIP: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "not root: installing the package needs root"
for tool in dpkg-buildpackage lintian xdotool xwininfo setpriv useradd userdel prlimit flock strace; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh test installs it)"
done

# One package test at a time on a machine: they would install the same package.
exec 9>/run/lock/glimpwatch-package-test.lock
flock 9

if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed\|unpacked\|config-files'; then
    skip "the $package package is on this machine already"
fi
[ ! -e "$scores" ] || skip "$scores exists already"
for user in "${users[@]}"; do
    ! getent passwd "$user" >/dev/null || skip "the user $user exists already"
    ! getent group "$user" >/dev/null || skip "the group $user exists already"
done

# What the test changes and must put back: the statoverrides, /var/games, the account
# files (and the backups that useradd and userdel leave of them).
account_files=(/etc/passwd /etc/group /etc/shadow /etc/gshadow /etc/subuid /etc/subgid)
machine_state() {
    dpkg-statoverride --list | sort
    ls -A /var/games 2>&1
    for file in "${account_files[@]}"; do
        [ -e "$file" ] && md5sum "$file"
    done
    true
}
rm -rf "$work/before" "$logs"
mkdir -p "$work/before" "$logs"
for file in "${account_files[@]}"; do
    [ -e "$file-" ] && cp -p "$file-" "$work/before/"
done
state_before=$(machine_state)

installed=""
users_made=()
homes=""
play_dir=""
mounted=""
stopped_pids=""

cleanup() {
    local status=$?
    stop_game
    for pid in $stopped_pids; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    for mount_point in $mounted; do
        umount "$mount_point" || true
    done
    if [ -n "$installed" ]; then
        dpkg --purge "$package" >>"$logs/purge.log" 2>&1 || echo "cannot purge $package (log: $logs/purge.log)" >&2
    fi
    for user in "${users_made[@]}"; do
        userdel "$user" 2>>"$logs/userdel.log" || echo "cannot remove the user $user" >&2
    done
    for file in "${account_files[@]}"; do
        local name
        name=$(basename "$file")
        if [ -e "$work/before/$name-" ]; then
            cp -p "$work/before/$name-" "$file-"
        fi
    done
    [ -z "$homes" ] || rm -rf "$homes"
    [ -z "$play_dir" ] || rm -rf "$play_dir"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# dpkg takes its lock at once or fails; another install may be running.
dpkg_retry() {
    local attempt
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        if "$@" >>"$logs/dpkg.log" 2>&1; then
            return 0
        fi
        grep -q 'lock' "$logs/dpkg.log" || break
        sleep 3
    done
    tail -n 30 "$logs/dpkg.log" >&2
    fail "command failed: $* (log: $logs/dpkg.log)"
}

# Owner, group and mode as "root:games 2770".
owner_mode() { stat -c '%U:%G %a' "$1"; }
expect_owner_mode() {
    local path=$1 want=$2 got
    [ -e "$path" ] && [ ! -L "$path" ] || fail "missing or a link: $path"
    got=$(owner_mode "$path")
    [ "$got" = "$want" ] || fail "$path is $got, not $want"
}

# The helper keeps the table in versions, "<table>.<n>", the newest one being the table;
# "<table>" itself counts as the first. The newest one's path, and the table as the helper
# shows it (ten lines), into a file.
newest_version() {
    local best="" n
    for path in "$table" "$table".*; do
        [ -e "$path" ] || continue
        n=${path#"$table"}
        n=${n#.}
        case $n in *[!0-9]*) continue ;; esac
        if [ -z "$best" ] || [ "${n:-0}" -gt "$best" ]; then best=${n:-0}; fi
    done
    [ -n "$best" ] || return 1
    if [ "$best" -eq 0 ]; then echo "$table"; else echo "$table.$best"; fi
}
show_table() { "$helper" --show >"$1" || fail "the helper does not show the table"; }
# The score directory holds the table's newest version and nothing else.
expect_one_version() {
    local names
    names=$(ls -A "$scores")
    [ "$(echo "$names" | wc -l)" -eq 1 ] && echo "$names" | grep -q "^$table_name\(\.[1-9][0-9]*\)\?$" ||
        fail "the score directory holds other files than the table: $names"
}

# ----------------------------------------------------------------------------- build
step "build the package with dpkg-buildpackage"
src=$work/src/glimpwatch
rm -rf "$work/src" "$work/stage"
mkdir -p "$src"
# The checkout without its build trees and git's own files.
tar -C "$source_dir" --exclude=./.git --exclude='./build*' --exclude=./tests/artifacts -cf - . | tar -C "$src" -xf -
build_start=$(date +%s)
(cd "$src" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -us -uc -b) \
    >"$logs/dpkg-buildpackage.log" 2>&1 || {
    tail -n 40 "$logs/dpkg-buildpackage.log" >&2
    fail "dpkg-buildpackage failed (log: $logs/dpkg-buildpackage.log)"
}
deb=$(ls "$work"/src/${package}_*_"$(dpkg --print-architecture)".deb)
echo "built $(basename "$deb") in $(($(date +%s) - build_start)) s"

step "the same build installed by cmake --install, the score directory made by the install"
# Configured again with the install making the score directory: nothing is compiled again.
obj=$(ls -d "$src"/obj-*)
run_logged "$logs/cmake-install.log" cmake -S "$src" -B "$obj" -DGLIMPWATCH_INSTALL_SCORE_FILES=ON
run_logged "$logs/cmake-install.log" env DESTDIR="$work/stage" cmake --install "$obj"
stage=$work/stage
expect_owner_mode "$stage$helper" "root:$group 2755"
expect_owner_mode "$stage$scores" "root:$group 2770"
[ -z "$(ls -A "$stage$scores")" ] || fail "the install made files in the score directory: $(ls -A "$stage$scores")"
rm -rf "$stage"

step "lintian: no errors, no warnings"
if ! lintian --fail-on error,warning --display-info "$deb" >"$logs/lintian.log" 2>&1; then
    cat "$logs/lintian.log" >&2
    fail "lintian reports errors or warnings"
fi
grep -v 'running with root privileges' "$logs/lintian.log" || true
grep -q '^[EW]: ' "$logs/lintian.log" && fail "lintian reports errors or warnings"
echo "lintian: clean ($(grep -c '^[IPX]: ' "$logs/lintian.log" || true) informational tags)"

# ----------------------------------------------------------------------------- install
step "install the package"
installed=yes
dpkg_retry dpkg -i "$deb"
expect_owner_mode "$program" "root:root 755"
expect_owner_mode "$helper" "root:$group 2755"
# Closed to the players: the table's versions belong to whoever saved them.
expect_owner_mode "$scores" "root:$group 2770"
[ -z "$(ls -A "$scores")" ] || fail "the package made files in the score directory: $(ls -A "$scores")"
for file in "$data_dir/pixmaps/logo.xpm" "$data_dir/sounds/whack.wav" \
    /usr/share/man/man6/glimpwatch.6.gz \
    /usr/share/applications/glimpwatch.desktop /usr/share/icons/hicolor/48x48/apps/glimpwatch.png \
    /usr/share/metainfo/io.github.glimpwatch.Glimpwatch.metainfo.xml; do
    expect_owner_mode "$file" "root:root 644"
done
[ "$(dpkg-statoverride --list "$helper")" = "root $group 2755 $helper" ] || fail "no statoverride for $helper"
show_table "$logs/show.out"
expect_table "$logs/show.out"

step "two unprivileged users"
homes=$(mktemp -d "${TMPDIR:-/tmp}/glimpwatch-homes.XXXXXX")
chmod 0755 "$homes"
for user in "${users[@]}"; do
    useradd --system --no-log-init --user-group --no-create-home --home-dir /nonexistent \
        --shell /usr/sbin/nologin "$user" 2>>"$logs/useradd.log" || fail "cannot add the user $user"
    users_made+=("$user")
    install -d -m 0700 -o "$user" -g "$user" "$homes/$user"
done
as_user() {
    local user=$1
    shift
    setpriv --reuid="$user" --regid="$user" --init-groups -- "$@"
}

# ----------------------------------------------------------------------------- play
step "each user plays a game and enters a score that persists"
play_dir=$(mktemp -d "${TMPDIR:-/tmp}/glimpwatch-play.XXXXXX")
chmod 0755 "$play_dir"
game_program=$program
# The table of an earlier install, written by root, and grown past the size of any table by
# someone who could write it: its entries are kept, and the first save puts a table of the
# right size in its place.
seed_table "$table"
head -c 100000 /dev/zero | tr '\0' x >>"$table"
names=(Alice Bob)
for i in 0 1; do
    user=${users[$i]}
    as_player=(setpriv --reuid="$user" --regid="$user" --init-groups --)
    play_home=$homes/$user
    check_display "$user"
    start_game "play-$user" -l 1
    hover_field
    # Untouched, the Glimps infect every computer of level 1 in about half a minute.
    wait_for 150 "end of the game" visible "End Game"
    keys_to "End Game" key Return
    keys_to "Enter Name" key ctrl+a BackSpace
    keys_to "Enter Name" type --delay 20 "${names[$i]}"
    keys_to "Enter Name" key Return
    keys_to "View High Scores" key Return
    quit_game "play-$user"
done
as_player=()
show_table "$work/shown"
expect_table "$work/shown" "Keeper 7 900" "Alice 1 0" "Bob 1 0" \
    "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1" \
    "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1"
expect_owner_mode "$scores" "root:$group 2770"
expect_one_version
newest=$(newest_version) || fail "no table in $scores"
# The newest version is Bob's own file, readable by the group alone; he cannot reach it.
[ "$(stat -c '%U:%G %a' "$newest")" = "${users[1]}:$group 440" ] ||
    fail "the newest version is $(stat -c '%U:%G %a' "$newest")"
[ "$(stat -c %s "$newest")" -lt 1000 ] || fail "the grown table was kept: $(stat -c %s "$newest") bytes"

step "writing the table around the helper is refused"
cp -p "$newest" "$work/table.before"
for user in "${users[@]}"; do
    for attempt in "ls $scores" "cat $newest" "printf x >>$newest" ": >$newest" "chmod 666 $newest" \
        "touch $scores/planted" "rm -f $newest" "mv $newest $scores/moved" "ln -s /tmp $scores/link" \
        "ln $newest /tmp/glimpwatch-link-\$\$"; do
        if as_user "$user" sh -c "$attempt" >/dev/null 2>&1; then
            fail "$user could: $attempt"
        fi
        cmp -s "$newest" "$work/table.before" || fail "$user changed the table with: $attempt"
    done
done
expect_one_version
echo "refused: listing, reading, appending, emptying, chmod, a new file, removing, renaming, linking"

# ----------------------------------------------------------------------------- bad input
step "bad input to the installed helper: one line on stderr, non-zero, the table unchanged"
user=${users[0]}
long_name=$(head -c 10000 /dev/zero | tr '\0' x)
# What the score directory holds, names and bytes: a refusal leaves it as it was.
directory_state() { (cd "$scores" && ls -A | sort && cat -- *) 2>&1 | md5sum; }
# Runs the helper as the user with input (a text, "closed" or "none") and arguments, and
# checks the refusal: status, one line on stderr (with the reason given, if any, in it),
# nothing printed, and the score directory as it was.
expect_reason=""
refused() {
    local what=$1 input=$2
    shift 2
    local status=0 before
    before=$(directory_state)
    case $input in
        closed) as_user "$user" "$helper" "$@" <&- >"$logs/bad.out" 2>"$logs/bad.err" || status=$? ;;
        none) as_user "$user" "$helper" "$@" </dev/null >"$logs/bad.out" 2>"$logs/bad.err" || status=$? ;;
        *) printf '%s' "$input" | as_user "$user" "$helper" "$@" >"$logs/bad.out" 2>"$logs/bad.err" || status=$? ;;
    esac
    [ "$status" -ne 0 ] || fail "$what: the helper ended with status 0"
    [ "$(wc -l <"$logs/bad.err")" -eq 1 ] || fail "$what: stderr is not one line: $(cat "$logs/bad.err")"
    grep -q '^glimpwatch-score: ' "$logs/bad.err" || fail "$what: stderr: $(cat "$logs/bad.err")"
    [ -z "$expect_reason" ] || grep -qF "$expect_reason" "$logs/bad.err" ||
        fail "$what: the reason is not \"$expect_reason\": $(cat "$logs/bad.err")"
    [ ! -s "$logs/bad.out" ] || fail "$what: the helper printed a table"
    [ "$(directory_state)" = "$before" ] || fail "$what: the score directory changed"
    printf '%-44s status %d: %s\n' "$what" "$status" "$(cut -c 19- "$logs/bad.err")"
}
refused "a name of 10,000 bytes" none --add "$long_name" 1 5
refused "a name of 10,000 bytes on standard input" "$long_name
1
5
" --add
refused "invalid UTF-8" none --add $'Ann\xc3' 1 5
refused "a control character" none --add $'Ann\x1b[2J' 1 5
refused "a newline on standard input" $'Ann\nBob 9 999\n1\n5\n' --add
# Names that would show the table otherwise than it is: a right-to-left override (the row
# "Eve" 3 12345 shown as "Eve54321 3"), a line separator (a second, fake row).
refused "a right-to-left override" none --add $'Eve\u202e' 3 12345
refused "a line separator" none --add $'B\u2028Mallory 9 99999' 1 5
refused "a paragraph separator on standard input" $'B\u2029x\n1\n5\n' --add
refused "a bidirectional isolate" none --add $'\u2067Ann' 1 5
refused "a negative level" none --add Ann -1 5
refused "an overflowing level" none --add Ann 2147483648 5
refused "a negative score" none --add Ann 1 -5
refused "an overflowing score" none --add Ann 1 99999999999
refused "an id that is not one" none --add Ann 1 5 'id;rm'
refused "an extra argument" none --add Ann 1 5 0123456789abcdef0123456789abcdef 6
refused "a missing argument" none --add Ann 1
refused "no arguments" none
refused "a closed standard input" closed --add
refused "an empty standard input" none --add
# prlimit runs the helper with a limit its writes run into.
status=0
before=$(directory_state)
prlimit --fsize=200 -- setpriv --reuid="$user" --regid="$user" --init-groups -- \
    "$helper" --add Ann 1 5 </dev/null >/dev/null 2>"$logs/bad.err" || status=$?
[ "$status" -ne 0 ] && [ "$(wc -l <"$logs/bad.err")" -eq 1 ] || fail "a write past the file size limit: status $status, $(cat "$logs/bad.err")"
[ "$(directory_state)" = "$before" ] || fail "a write past the file size limit changed the score directory"
printf '%-44s status %d: %s\n' "a write past the file size limit" "$status" "$(cut -c 19- "$logs/bad.err")"

# Names in the score directory replaced by root (or a member of the group): the helper
# follows no link and writes nothing else.
printf 'planted\n' >"$work/target"
chmod 0666 "$work/target"
newest=$(newest_version) || fail "no table in $scores"
for kind in "link:$work/target" "dangling:$work/missing" directory; do
    mv "$newest" "$work/saved-version"
    case $kind in
        link:* | dangling:*) ln -s "${kind#*:}" "$newest" ;;
        directory) mkdir "$newest" ;;
    esac
    case $kind in
        link:*) label="a link" ;;
        dangling:*) label="a link to nothing" ;;
        *) label="a directory" ;;
    esac
    refused "the table replaced by $label" none --add Ann 1 5
    [ "$(cat "$work/target")" = planted ] || fail "the helper wrote through a link at $newest"
    [ ! -e "$work/missing" ] || fail "the helper made a file through a link at $newest"
    if [ "$kind" = directory ]; then
        [ -z "$(ls -A "$newest")" ] || fail "the helper wrote into a directory at $newest"
    fi
    rm -rf "$newest"
    mv "$work/saved-version" "$newest"
done
# A score directory opened to everyone (by hand, or an old install): players could reach
# the versions they own, so the helper uses it no more.
chmod 2775 "$scores"
expect_reason="open to every user" refused "the score directory open to every user" none --add Ann 1 5
chmod 2770 "$scores"

# A full and a read-only file system: a small one mounted over the score directory.
if mkdir -p "$work/small" && mount -t tmpfs -o size=64k,mode=2770 tmpfs "$work/small" 2>/dev/null; then
    mounted=$work/small
    chgrp "$group" "$work/small"
    cp -p "$newest" "$work/small/"
    mount --bind "$work/small" "$scores"
    mounted="$scores $work/small"
    dd if=/dev/zero of="$scores/filler" bs=4k 2>/dev/null || true
    expect_reason="No space left on device" refused "a full file system" none --add Ann 1 5
    rm -f "$scores/filler"
    mount -o remount,ro,bind "$scores"
    # Said of the table, not of a lock or another file.
    expect_reason="the score file is on a read-only file system" refused "a read-only file system" none --add Ann 1 5
    umount "$scores"
    umount "$work/small"
    mounted=""
else
    echo "note: no tmpfs can be mounted here; the full and read-only file system cases are left out"
fi
expect_one_version

# ----------------------------------------------------------------------------- stopped
step "a helper stopped at any moment of its save keeps no other user's save waiting"
# The calls the installed helper makes in a whole save, from the first that reaches the score
# directory: strace (as root, running the helper as the user, so that it keeps its group)
# then holds a helper of the first user at each of them in turn, and sends it SIGSTOP there,
# while the second user saves. Each of those saves goes through at once; once the stopped
# helper goes on, both results are in the table, once each.
strace -f -qq -o "$work/save.trace" -u "${users[0]}" "$helper" --add Traced 1 1 </dev/null >/dev/null ||
    fail "the helper fails under strace"
mapfile -t calls < <(sed -e 's/^[0-9]* *//' "$work/save.trace" | sed -n "\\|$scores|,\$p" |
    grep -E '^[a-z_0-9]+\(' | sed 's/(.*//' | grep -v '^exit_group$')
[ "${#calls[@]}" -gt 10 ] || fail "no save seen in the trace: $(cat "$work/save.trace")"
score=10000
slowest=0
declare -A seen=()
for i in "${!calls[@]}"; do
    call=${calls[$i]}
    seen[$call]=$((${seen[$call]:-0} + 1))
    score=$((score + 2))
    strace -f -qq -o /dev/null -u "${users[0]}" -e trace="$call" \
        -e inject="$call:signal=SIGSTOP:when=${seen[$call]}" \
        "$helper" --add "p$i" 1 "$score" </dev/null >/dev/null 2>"$logs/stopped.err" &
    tracer=$!
    stopped_pids="$tracer"
    # Until the helper stands still in that call (or, on a path this save did not take, ends).
    stands_still() { ! kill -0 "$tracer" 2>/dev/null || ps -o stat= --ppid "$tracer" | grep -q '^[tT]'; }
    wait_for 10 "the helper stopped at call $i ($call)" stands_still
    stopped=$(ps -o pid= --ppid "$tracer" || true)
    start=$(date +%s%N)
    as_user "${users[1]}" "$helper" --add "q$i" 2 $((score + 1)) </dev/null >"$logs/beside.out" 2>"$logs/beside.err" ||
        fail "a save beside a helper stopped at call $i ($call) failed: $(cat "$logs/beside.err")"
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    [ "$elapsed_ms" -lt 3000 ] || fail "a save beside a helper stopped at call $i ($call) took $elapsed_ms ms"
    [ "$elapsed_ms" -le "$slowest" ] || slowest=$elapsed_ms
    head -n 1 "$logs/beside.out" | grep -q "^q$i  *2 $((score + 1))\$" ||
        fail "beside a helper stopped at call $i ($call), the save is not first: $(head -n 1 "$logs/beside.out")"
    # Let go, the helper ends its save, and strace with the helper's status.
    [ -z "$stopped" ] || kill -CONT $stopped
    wait "$tracer" || fail "the helper stopped at call $i ($call) failed when it went on: $(cat "$logs/stopped.err")"
    stopped_pids=""
    show_table "$work/shown"
    [ "$(grep -c "^p$i " "$work/shown")" -eq 1 ] && [ "$(grep -c "^q$i " "$work/shown")" -eq 1 ] ||
        fail "after the helper stopped at call $i ($call) went on, the table is: $(cat "$work/shown")"
done
expect_one_version
echo "${#calls[@]} calls, a helper stopped at each: the other user's save took at most $slowest ms"

# The players' own way: one runs helpers, showing and adding, and stops them with SIGSTOP at
# random moments, leaving them stopped; the other's saves go through meanwhile.
stopped_pids=""
for k in $(seq 1 20); do
    request=(--add "s$k" 1 $((20000 + k)))
    [ $((k % 4)) -eq 0 ] && request=(--show)
    # Started and stopped from here rather than from a shell of the user's that prints the
    # helper's number: a shell stopped in its place would hold that output open for ever.
    as_user "${users[0]}" "$helper" "${request[@]}" </dev/null >/dev/null 2>&1 &
    pid=$!
    sleep "0.00$((RANDOM % 10))"
    as_user "${users[0]}" kill -STOP "$pid" 2>/dev/null || true
    stopped_pids="$stopped_pids $pid"
    start=$(date +%s%N)
    as_user "${users[1]}" "$helper" --add "t$k" 2 $((30000 + k)) </dev/null >/dev/null ||
        fail "a save beside $k stopped helpers failed"
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    [ "$elapsed_ms" -lt 3000 ] || fail "a save beside $k stopped helpers took $elapsed_ms ms"
done
for pid in $stopped_pids; do
    kill -CONT "$pid" 2>/dev/null || true
done
for pid in $stopped_pids; do
    while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
done
stopped_pids=""
show_table "$work/shown"
want=()
for k in 20 19 18 17 16 15 14 13 12 11; do want+=("t$k 2 $((30000 + k))"); done
expect_table "$work/shown" "${want[@]}"
expect_one_version
echo "20 helpers stopped by their user (adding and showing): every save of the other user went through"

# ----------------------------------------------------------------------------- closed descriptors
step "the helper's status says whether a result was saved, whatever becomes of its printing"
# With standard output closed, the C library opens it for reading only for a set-id
# program, and printing the table fails; the result is saved, and the status says so. The
# same result handed over again with its id is not entered twice.
id=0123456789abcdef0123456789abcdef
for attempt in 1 2; do
    status=0
    as_user "$user" "$helper" --add Twice 2 99999 "$id" </dev/null >&- 2>"$logs/twice.err" || status=$?
    [ "$status" -eq 0 ] || fail "saved with standard output closed, but status $status: $(cat "$logs/twice.err")"
done
status=0
printf 'Twice\n2\n99999\n%s\n' "$id" | as_user "$user" bash -c 'set -o pipefail; "$1" --add | exit 0' bash "$helper" ||
    status=$?
[ "$status" -eq 0 ] || fail "a caller that stopped reading made the helper fail"
show_table "$work/shown"
[ "$(grep -c '^Twice ' "$work/shown")" -eq 1 ] || fail "a result handed over again was entered twice: $(cat "$work/shown")"
head -n 1 "$work/shown" | grep -q '^Twice  *2 99999$' || fail "the result is not first: $(cat "$work/shown")"
echo "saved once, status 0, with standard output closed and with a reader that went away"

# ----------------------------------------------------------------------------- races
step "8 processes of two users saving at once through the helper lose nothing"
pids=()
for w in 0 1 2 3 4 5 6 7; do
    (
        for s in 0 1 2 3 4 5 6 7 8 9; do
            # distinct scores, dealt so that every process saves some of the best
            as_user "${users[$((w % 2))]}" "$helper" --add "w$w-$s" 1 $((100000 + s * 8 + w)) >/dev/null </dev/null || exit 1
        done
    ) &
    pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
[ "$failed" -eq 0 ] || fail "$failed of the saving processes failed"
want=()
for rank in 0 1 2 3 4 5 6 7 8 9; do
    n=$((79 - rank))
    want+=("w$((n % 8))-$((n / 8)) 1 $((100000 + n))")
done
show_table "$work/shown"
expect_table "$work/shown" "${want[@]}"
expect_one_version
echo "80 results from 8 processes: the best ten all in the table"

step "helpers killed while saving leave the old table or the new one"
broken=0
for k in $(seq 1 40); do
    # setpriv itself, not as_user in a subshell: the kill must reach the helper.
    setpriv --reuid="$user" --regid="$user" --init-groups -- \
        "$helper" --add "k$k" 3 $((200000 + k)) </dev/null >/dev/null 2>&1 &
    pid=$!
    sleep "0.00$((RANDOM % 10))"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    newest=$(newest_version) || fail "no table after kill $k: $(ls -A "$scores")"
    if [ "$(head -n 10 "$newest" | LC_ALL=C grep -c -E '^.{20} -?[0-9]+ -?[0-9]+$')" -ne 10 ]; then
        broken=$((broken + 1))
    fi
done
[ "$broken" -eq 0 ] || fail "$broken kills left a broken table"
as_user "$user" "$helper" --add After 3 300000 </dev/null >/dev/null || fail "no save after the kills"
show_table "$work/shown"
head -n 1 "$work/shown" | grep -q '^After  *3 300000$' || fail "the save after the kills is missing"
expect_one_version
echo "40 helpers killed while saving: every table whole"

# ----------------------------------------------------------------------------- upgrade, purge
step "reinstalling keeps the table; purging removes it"
show_table "$work/table.before"
dpkg_retry dpkg -i "$deb"
show_table "$work/shown"
cmp -s "$work/shown" "$work/table.before" || fail "reinstalling the package changed the table"
expect_owner_mode "$helper" "root:$group 2755"
expect_owner_mode "$scores" "root:$group 2770"
dpkg_retry dpkg --purge "$package"
installed=""
for path in "$scores" "$program" "$helper" "$data_dir"; do
    [ ! -e "$path" ] || fail "the purge left $path"
done
dpkg-statoverride --list | grep -q glimpwatch && fail "the purge left a statoverride"

for user in "${users_made[@]}"; do
    userdel "$user" 2>>"$logs/userdel.log" || fail "cannot remove the user $user"
done
users_made=()
for file in "${account_files[@]}"; do
    name=$(basename "$file")
    [ ! -e "$work/before/$name-" ] || cp -p "$work/before/$name-" "$file-"
done
# dpkg keeps /var/games while the scores are in it, and the purge comes after that.
if ! echo "$state_before" | grep -q ' games$' && [ -d /var/games ] && [ -z "$(ls -A /var/games)" ]; then
    rmdir /var/games
fi
state_after=$(machine_state)
if [ "$state_after" != "$state_before" ]; then
    diff <(echo "$state_before") <(echo "$state_after") >&2 || true
    fail "the machine is not as it was"
fi
echo "package test passed"
