#!/bin/bash
# The game as a web page, built with Debian's emscripten into a static site:
#   scripts/web.sh build     makes build-web/site/: index.html and everything it loads, ready
#                            for any static web host
#   scripts/web.sh serve     builds it and serves it on 127.0.0.1 (PORT, default 8000, or a
#                            free one), printing the address
#   scripts/web.sh measure   the browser's figures of docs/performance-web.md
# BUILD_WEB names another build directory.
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_WEB:-build-web}

# Debian's emscripten runs its JavaScript tools with the machine's node; a node that is not
# Debian's own finds Debian's modules (acorn) only when told where they are.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

build_site() {
    scripts/deps.sh web
    # Nothing is fetched: the system libraries come prebuilt with Debian's emscripten, and
    # no emscripten port is used.
    emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DGLIMPWATCH_TESTS=OFF >/dev/null
    cmake --build "$build" -j 2 --target site
    echo "the site: $build/site"
}

case "${1:-}" in
    build)
        build_site
        ;;
    serve)
        build_site
        exec node scripts/web_server.js "$build/site" "${PORT:-8000}"
        ;;
    measure)
        scripts/deps.sh test
        build_site
        exec node tests/web/measure.js "$build/site"
        ;;
    *)
        echo "usage: $0 build|serve|measure" >&2
        exit 2
        ;;
esac
