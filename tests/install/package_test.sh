#!/bin/bash
# Builds the Debian package and checks it with lintian, installs it, and then, as two
# unprivileged users: plays the installed game under Xvfb and enters scores that persist,
# tries to change the shared table without the helper, hands the installed helper bad
# input, and saves through it from many processes at once and while being killed. The
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
lock=$table.lock
spare=$table.new
users=(glimpwatch-test1 glimpwatch-test2)

skip() {
    echo "SKIP: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "not root: installing the package needs root"
for tool in dpkg-buildpackage lintian xdotool xwininfo setpriv useradd userdel prlimit flock; do
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
holder_pid=""

cleanup() {
    local status=$?
    stop_game
    if [ -n "$holder_pid" ]; then
        kill -KILL "$holder_pid" 2>/dev/null || true
        wait "$holder_pid" 2>/dev/null || true
    fi
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

# Owner, group and mode as "root:games 2775".
owner_mode() { stat -c '%U:%G %a' "$1"; }
expect_owner_mode() {
    local path=$1 want=$2 got
    [ -e "$path" ] && [ ! -L "$path" ] || fail "missing or a link: $path"
    got=$(owner_mode "$path")
    [ "$got" = "$want" ] || fail "$path is $got, not $want"
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

step "the same build installed by cmake --install, the score files made by the install"
# Configured again with the install making the score files: nothing is compiled again.
obj=$(ls -d "$src"/obj-*)
run_logged "$logs/cmake-install.log" cmake -S "$src" -B "$obj" -DGLIMPWATCH_INSTALL_SCORE_FILES=ON
run_logged "$logs/cmake-install.log" env DESTDIR="$work/stage" cmake --install "$obj"
stage=$work/stage
expect_owner_mode "$stage$helper" "root:$group 2755"
expect_owner_mode "$stage$scores" "root:$group 2775"
expect_owner_mode "$stage$table" "root:$group 664"
expect_owner_mode "$stage$spare" "root:$group 664"
expect_owner_mode "$stage$lock" "root:$group 660"
expect_table "$stage$table"
[ ! -s "$stage$spare" ] && [ ! -s "$stage$lock" ] || fail "the spare or the lock is not empty"
[ ! -e "$stage$data_dir/glimpwatch.scores.empty" ] ||
    fail "the install made the score files and installed the packagers' fresh table too"
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
expect_owner_mode "$scores" "root:$group 2775"
expect_owner_mode "$table" "root:$group 664"
expect_owner_mode "$spare" "root:$group 664"
# Not even readable by others: a player who could open it could hold the lock for ever.
expect_owner_mode "$lock" "root:$group 660"
for file in "$data_dir/pixmaps/logo.xpm" "$data_dir/sounds/whack.wav" \
    /usr/share/man/man6/glimpwatch.6.gz \
    /usr/share/applications/glimpwatch.desktop /usr/share/icons/hicolor/48x48/apps/glimpwatch.png \
    /usr/share/metainfo/io.github.glimpwatch.Glimpwatch.metainfo.xml; do
    expect_owner_mode "$file" "root:root 644"
done
[ "$(dpkg-statoverride --list "$helper")" = "root $group 2755 $helper" ] || fail "no statoverride for $helper"
"$helper" --show >"$logs/show.out" || fail "the helper does not show the fresh table"
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
# Written in place by root: the file stays root's.
seed_table "$table"
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
expect_table "$table" "Keeper 7 900" "Alice 1 0" "Bob 1 0" \
    "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1" \
    "Anonymous 0 -1" "Anonymous 0 -1" "Anonymous 0 -1"
# The table is still root's: no player ever owns it, or they could edit it.
expect_owner_mode "$table" "root:$group 664"
expect_owner_mode "$spare" "root:$group 664"
expect_owner_mode "$scores" "root:$group 2775"
[ "$(ls -A "$scores" | sort | tr '\n' ' ')" = "$table_name $table_name.lock $table_name.new " ] ||
    fail "the score directory holds other files: $(ls -A "$scores")"

step "writing the table around the helper is refused"
cp -p "$table" "$work/table.before"
for user in "${users[@]}"; do
    for attempt in "printf x >>$table" ": >$table" "printf x >>$spare" "printf x >>$lock" \
        "touch $scores/planted" "rm -f $table" "mv $table $scores/moved" "ln -s /tmp $scores/link" \
        "chmod 666 $table" "flock -n $lock true"; do
        if as_user "$user" sh -c "$attempt" 2>/dev/null; then
            fail "$user could: $attempt"
        fi
        cmp -s "$table" "$work/table.before" || fail "$user changed the table with: $attempt"
    done
done
[ "$(ls -A "$scores" | wc -l)" -eq 3 ] || fail "a player made a file in $scores"
echo "refused: appending, emptying, removing, renaming, linking, chmod, a new file, the lock"

# ----------------------------------------------------------------------------- bad input
step "bad input to the installed helper: one line on stderr, non-zero, the table unchanged"
user=${users[0]}
long_name=$(head -c 10000 /dev/zero | tr '\0' x)
# Runs the helper as the user with input (a text, "closed" or "none") and arguments, and
# checks the refusal: status, one line on stderr, and the table byte for byte.
refused() {
    local what=$1 input=$2
    shift 2
    local status=0
    cp -p "$table" "$work/table.before" 2>/dev/null || true
    case $input in
        closed) as_user "$user" "$helper" "$@" <&- >"$logs/bad.out" 2>"$logs/bad.err" || status=$? ;;
        none) as_user "$user" "$helper" "$@" </dev/null >"$logs/bad.out" 2>"$logs/bad.err" || status=$? ;;
        *) printf '%s' "$input" | as_user "$user" "$helper" "$@" >"$logs/bad.out" 2>"$logs/bad.err" || status=$? ;;
    esac
    [ "$status" -ne 0 ] || fail "$what: the helper ended with status 0"
    [ "$(wc -l <"$logs/bad.err")" -eq 1 ] || fail "$what: stderr is not one line: $(cat "$logs/bad.err")"
    grep -q '^glimpwatch-score: ' "$logs/bad.err" || fail "$what: stderr: $(cat "$logs/bad.err")"
    [ ! -s "$logs/bad.out" ] || fail "$what: the helper printed a table"
    if [ -e "$work/table.before" ]; then
        cmp -s "$table" "$work/table.before" || fail "$what: the table changed"
    fi
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
refused "a negative level" none --add Ann -1 5
refused "an overflowing level" none --add Ann 2147483648 5
refused "a negative score" none --add Ann 1 -5
refused "an overflowing score" none --add Ann 1 99999999999
refused "an extra argument" none --add Ann 1 5 6
refused "a missing argument" none --add Ann 1
refused "no arguments" none
refused "a closed standard input" closed --add
refused "an empty standard input" none --add
# prlimit runs the helper with a limit its writes run into.
as_user_fsize() { prlimit --fsize=200 -- setpriv --reuid="$user" --regid="$user" --init-groups -- "$@"; }
status=0
cp -p "$table" "$work/table.before"
as_user_fsize "$helper" --add Ann 1 5 </dev/null >/dev/null 2>"$logs/bad.err" || status=$?
[ "$status" -ne 0 ] && [ "$(wc -l <"$logs/bad.err")" -eq 1 ] || fail "a write past the file size limit: status $status, $(cat "$logs/bad.err")"
cmp -s "$table" "$work/table.before" || fail "a write past the file size limit changed the table"
printf '%-44s status %d: %s\n' "a write past the file size limit" "$status" "$(cut -c 19- "$logs/bad.err")"

# Names in the score directory replaced by root (or a member of the group): the helper
# follows no link and writes nothing else.
swap_in() {   # name, then what to put there: "link:<target>" or "directory"
    mv "$scores/$1" "$work/saved-$1"
    case $2 in
        link:* | dangling:*) ln -s "${2#*:}" "$scores/$1" ;;
        directory) mkdir "$scores/$1" ;;
    esac
}
swap_out() {
    rm -rf "${scores:?}/$1"
    mv "$work/saved-$1" "$scores/$1"
}
printf 'planted\n' >"$work/target"
chmod 0666 "$work/target"
for name in "$table_name" "$table_name.lock" "$table_name.new"; do
    for kind in "link:$work/target" "dangling:$work/missing" directory; do
        swap_in "$name" "$kind"
        rm -f "$work/table.before"
        case $kind in
            link:*) label="a link" ;;
            dangling:*) label="a link to nothing" ;;
            *) label="a directory" ;;
        esac
        refused "$name replaced by $label" none --add Ann 1 5
        [ "$(cat "$work/target")" = planted ] || fail "the helper wrote through a link at $name"
        [ ! -e "$work/missing" ] || fail "the helper made a file through a link at $name"
        if [ "$kind" = directory ]; then
            [ -z "$(ls -A "$scores/$name")" ] || fail "the helper wrote into a directory at $name"
        fi
        swap_out "$name"
    done
done

# A full file system: a small one mounted over the score directory, filled up.
if mkdir -p "$work/full" && mount -t tmpfs -o size=64k,mode=2775 tmpfs "$work/full" 2>/dev/null; then
    mounted=$work/full
    cp -p "$table" "$lock" "$work/full/"
    install -m 0664 -o root -g "$group" /dev/null "$work/full/$table_name.new"
    chgrp "$group" "$work/full"
    cp -p "$table" "$work/table.full"
    mount --bind "$work/full" "$scores"
    mounted="$scores $work/full"
    dd if=/dev/zero of="$scores/filler" bs=4k 2>/dev/null || true
    rm -f "$work/table.before"
    cp -p "$table" "$work/table.before"
    refused "a full file system" none --add Ann 1 5
    umount "$scores"
    umount "$work/full"
    mounted=""
    cmp -s "$table" "$work/table.full" || fail "the table under the full file system is not the installed one"
else
    echo "note: no tmpfs can be mounted here; the full file system case is left out"
fi

step "a lock held by another process, then its holder killed"
( exec 8<>"$lock"; flock -x 8; exec sleep 60 ) &
holder_pid=$!
wait_for 10 "the lock held" sh -c "! flock -n $lock true"
refused "the lock held by another process" none --add Ann 1 5
kill -KILL "$holder_pid"
wait "$holder_pid" 2>/dev/null || true
holder_pid=""
start=$(date +%s%N)
as_user "$user" "$helper" --add Stale 2 950 >"$logs/stale.out" </dev/null || fail "the helper failed after the holder was killed"
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
[ "$elapsed_ms" -lt 3000 ] || fail "a dead holder's lock held the helper up for $elapsed_ms ms"
head -n 1 "$logs/stale.out" | grep -q '^Stale  *2 950$' || fail "the result after the stale lock is not first: $(head -n 1 "$logs/stale.out")"
cmp -s "$logs/stale.out" "$table" || fail "the helper printed another table than the file holds"
echo "saved $elapsed_ms ms after the holder was killed"

# ----------------------------------------------------------------------------- races
step "8 processes of two users saving at once through the helper lose nothing"
expected=$work/expected
for i in 1 2 3 4 5 6 7 8 9 10; do printf '%-20s %d %d\n' Seed 1 $((i)); done | sort -k3 -n -r >"$table"
pids=()
for w in 0 1 2 3 4 5 6 7; do
    (
        for s in 0 1 2 3 4 5 6 7 8 9; do
            # distinct scores, dealt so that every process saves some of the best
            as_user "${users[$((w % 2))]}" "$helper" --add "w$w-$s" 1 $((1000 + s * 8 + w)) >/dev/null </dev/null || exit 1
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
    want+=("w$((n % 8))-$((n / 8)) 1 $((1000 + n))")
done
expect_table "$table" "${want[@]}"
echo "80 results from 8 processes: the best ten all in the table"

step "helpers killed while saving leave the old table or the new one"
broken=0
for k in $(seq 1 40); do
    as_user "$user" "$helper" --add "k$k" 3 $((2000 + k)) </dev/null >/dev/null 2>&1 &
    pid=$!
    sleep "0.00$((RANDOM % 10))"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [ "$(LC_ALL=C grep -c -E '^.{20} -?[0-9]+ -?[0-9]+$' "$table")" -ne 10 ] || [ "$(wc -l <"$table")" -ne 10 ]; then
        broken=$((broken + 1))
    fi
done
[ "$broken" -eq 0 ] || fail "$broken kills left a broken table"
as_user "$user" "$helper" --add After 3 3000 </dev/null >/dev/null || fail "no save after the kills"
head -n 1 "$table" | grep -q '^After  *3 3000$' || fail "the save after the kills is missing"
expect_owner_mode "$table" "root:$group 664"
echo "40 helpers killed while saving: every table whole"

# ----------------------------------------------------------------------------- upgrade, purge
step "reinstalling keeps the table; purging removes it"
cp -p "$table" "$work/table.before"
dpkg_retry dpkg -i "$deb"
cmp -s "$table" "$work/table.before" || fail "reinstalling the package changed the table"
expect_owner_mode "$helper" "root:$group 2755"
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
