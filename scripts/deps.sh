#!/bin/sh
# Installs the Debian packages that building (play: the GTK 2 program, play-gtk3: the GTK 3
# one, web: the web page) or testing (test: all of them, in a real browser too) the game
# needs, when missing.
set -eu

PLAY="build-essential cmake pkg-config libgtk2.0-dev libx11-dev libxrender-dev libsdl2-mixer-dev"
PLAY_GTK3="build-essential cmake pkg-config libgtk-3-dev libx11-dev libxrender-dev libcairo2-dev libsdl2-mixer-dev"
# Debian's emscripten (3.1.6) with its prebuilt system libraries; it brings node when the
# machine has none.
WEB="emscripten"
TEST="$PLAY libgtk-3-dev openbox libgtest-dev libbenchmark-dev libx11-dev libxtst-dev xvfb xfonts-base
      x11-utils weston clang libclang-rt-14-dev desktop-file-utils appstream man-db xdotool libxfixes-dev
      debhelper dpkg-dev fakeroot lintian
      python3-cairo fonts-dejavu-core fonts-wqy-microhei fonts-noto-color-emoji ccache $WEB chromium"

case "${1:-play}" in
    play) wanted=$PLAY ;;
    play-gtk3) wanted=$PLAY_GTK3 ;;
    web) wanted=$WEB ;;
    test) wanted=$TEST ;;
    *) echo "usage: $0 [play|play-gtk3|web|test]" >&2; exit 2 ;;
esac

missing=""
for package in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi
echo "Installing:$missing"
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
