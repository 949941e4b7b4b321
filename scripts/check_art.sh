#!/bin/sh
# Draws the artwork again with tools/draw_art.py in a scratch tree and checks that every
# picture, the cursor table and the desktop icons come out byte for byte as committed:
# the committed files are the script's output, never hand edits.
set -eu
cd "$(dirname "$0")/.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tools" "$scratch/gui"
cp tools/draw_art.py "$scratch/tools/"
# Debian's python, which has python3-cairo.
/usr/bin/python3 "$scratch/tools/draw_art.py"

status=0
drawn=$(cd "$scratch" && find pixmaps gui data -type f | sort)
for file in $drawn; do
    if ! cmp -s "$scratch/$file" "$file"; then
        echo "art: $file differs from what tools/draw_art.py draws"
        status=1
    fi
done
# Every committed picture must come from the script, too.
for file in $(git ls-files pixmaps data/icons gui/cursor_bitmaps.h); do
    [ -f "$scratch/$file" ] || { echo "art: tools/draw_art.py does not draw $file"; status=1; }
done
[ "$status" -eq 0 ] && echo "art: $(echo "$drawn" | wc -l) files drawn again, all as committed"
exit "$status"
