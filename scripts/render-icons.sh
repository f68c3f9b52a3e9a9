#!/usr/bin/env bash
# Renders the program's icon as PNG files at the sizes desktops ask for, into
# packaging/icons/ (committed, so the build needs no SVG renderer). 16 and 24 pixels come
# from the simpler small drawing, since the display's digits do not survive them.
# Run after changing packaging/kvt.svg or packaging/kvt-small.svg; needs rsvg-convert
# (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging"
mkdir -p icons
for size in 16 24 32 48 64 128 256; do
  source=kvt.svg
  [ "$size" -le 24 ] && source=kvt-small.svg
  rsvg-convert --width "$size" --height "$size" "$source" --output "icons/kvt-$size.png"
done
ls -l icons
