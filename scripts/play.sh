#!/bin/sh
# Builds the game and starts it from the checkout, so that pixmaps/ is found here.
# TOOLKIT=gtk3 builds and starts the GTK 3 program instead of the GTK 2 one; TOOLKIT=web
# builds the web page and serves it on 127.0.0.1 (scripts/web.sh serve).
set -eu
cd "$(dirname "$0")/.."
toolkit=${TOOLKIT:-gtk2}
case "$toolkit" in
    gtk2) build=build; scripts/deps.sh play ;;
    gtk3) build=build-play-gtk3; scripts/deps.sh play-gtk3 ;;
    web) exec scripts/web.sh serve ;;
    *) echo "TOOLKIT must be gtk2, gtk3 or web, not '$toolkit'" >&2; exit 2 ;;
esac
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMPWATCH_TESTS=OFF \
    -DGLIMPWATCH_TOOLKIT="$toolkit" >/dev/null
cmake --build "$build" -j "$(nproc)" --target glimpwatch
exec "./$build/glimpwatch" "$@"
