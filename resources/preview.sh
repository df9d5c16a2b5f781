#!/usr/bin/env bash
# Renders every icon of resources/images onto a contact sheet, on the page colour of the
# main window, so the set can be judged side by side at one size.
# Usage: resources/preview.sh [SIZE] [OUT.png]      (default: 48 /tmp/quorvel-icons.png)
# Needs rsvg-convert (librsvg2-bin) and montage (imagemagick). The backgrounds are rendered
# whole into /tmp/quorvel-main-background.png for a look at the window's shape.
set -euo pipefail

size=${1:-48}
out=${2:-/tmp/quorvel-icons.png}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for svg in "$here"/images/*.svg; do
  name=$(basename "$svg" .svg)
  case "$name" in *-background) continue ;; esac
  rsvg-convert --keep-aspect-ratio -w "$size" -h "$size" "$svg" -o "$work/$name.png"
done

montage -label '%t' "$work"/*.png -background '#1A4150' -fill '#D6E6E4' -font DejaVu-Sans -pointsize 10 \
  -tile 8x -geometry "$((size > 96 ? size : 96))x$((size + 4))+6+6" "$out"
echo "$out"

if [[ -f "$here/images/main-background.svg" ]]; then
  rsvg-convert "$here/images/main-background.svg" -o /tmp/quorvel-main-background.png
  echo /tmp/quorvel-main-background.png
fi
