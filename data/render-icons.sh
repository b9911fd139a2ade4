#!/bin/sh
# Renders the program's icon for the hicolor icon theme from the window icon's SVG source
# (needs rsvg-convert, Debian package librsvg2-bin). Run it after changing the source; the
# PNGs are kept in the repository so that a build needs no renderer.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src="$here/../resources/svg/smartsearch.svg"
for size in 16 22 24 32 48 64 128 256; do
    out="$here/icons/hicolor/${size}x${size}/apps"
    mkdir -p "$out"
    rsvg-convert -w "$size" -h "$size" -o "$out/quorvel.png" "$src"
done
echo "icons written to $here/icons/hicolor"
