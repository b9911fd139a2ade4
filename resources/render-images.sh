#!/bin/sh
# Renders the PNG images of the program from their SVG sources (needs rsvg-convert,
# Debian package librsvg2-bin). Run it after changing a source; the PNGs are kept in
# the repository so that a build needs no renderer.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src="$here/svg"
out="$here/img"
mkdir -p "$out"

# name  base-width  base-height  retina (yes: also write name@2x.png at twice the size)
while read -r name w h retina; do
    rsvg-convert -w "$w" -h "$h" -o "$out/$name.png" "$src/$name.svg"
    if [ "$retina" = yes ]; then
        rsvg-convert -w $((w * 2)) -h $((h * 2)) -o "$out/$name@2x.png" "$src/$name.svg"
    fi
done <<LIST
smartsearch 28 28 yes
help 28 28 yes
folder 28 28 yes
stop 28 28 yes
protect_on 16 16 yes
protect_off 16 16 yes
frame-mid 8 8 no
ico-hover-bg 8 64 no
LIST
echo "images written to $out"
