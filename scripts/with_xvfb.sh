#!/bin/sh
# Runs a command under an X server of its own: a private Xvfb on the display it picks itself
# (-displayfd), so that runs side by side never collide. The command finds it in DISPLAY, the
# server's process id in XVFB_PID, and this script's in XVFB_WRAPPER_PID (the command's parent:
# a program that starts itself again under this script tells so that it runs under it). The
# server goes when the command ends (or when this script is killed), and the command's exit
# status is this script's.
#
# usage: with_xvfb.sh [-s WIDTHxHEIGHT] [-l LOG] [--] COMMAND [ARGUMENT...]
#   -s  the screen's size (1280x1024 by default), 24 bits deep
#   -l  where the server's own messages go (by default they are shown only when it fails)
#
# The end-to-end tests, the install and package tests and scripts/measure.sh run under it.
set -eu

usage() {
    echo "usage: $0 [-s WIDTHxHEIGHT] [-l LOG] [--] COMMAND [ARGUMENT...]" >&2
    exit 2
}

size=1280x1024
log=""
while [ $# -gt 0 ]; do
    case $1 in
        -s) [ $# -ge 2 ] || usage; size=$2; shift 2 ;;
        -l) [ $# -ge 2 ] || usage; log=$2; shift 2 ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || usage
if ! command -v Xvfb >/dev/null; then
    echo "with_xvfb.sh: Xvfb is not installed (the package xvfb provides it)" >&2
    exit 127
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX")
[ -n "$log" ] || log=$work/xvfb.log
xvfb=""
stop() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
        xvfb=""
    fi
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# -noreset: like a desktop's X server, it does not start afresh each time its last client
# goes (Xvfb was seen to vanish when a client connected during such a reset). The server is
# killed with this script even when the script itself is killed (the parent-death signal).
# Xvfb writes the display number it picked, then a newline, once it accepts clients.
setpriv --pdeathsig KILL -- Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset \
    3>"$work/display" >"$log" 2>&1 &
xvfb=$!
tries=0
until grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null; do
    tries=$((tries + 1))
    if ! kill -0 "$xvfb" 2>/dev/null || [ "$tries" -ge 600 ]; then
        echo "with_xvfb.sh: Xvfb reported no display; its log ($log):" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
    sleep 0.05
done
DISPLAY=":$(cat "$work/display")"
XVFB_PID=$xvfb
XVFB_WRAPPER_PID=$$
export DISPLAY XVFB_PID XVFB_WRAPPER_PID
unset XAUTHORITY WAYLAND_DISPLAY

status=0
"$@" || status=$?
exit "$status"
