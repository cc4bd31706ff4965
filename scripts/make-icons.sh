#!/usr/bin/env bash
# Renders the application icon packaging/icons/com.mirelda.Harbrill.svg into the PNG sizes of the hicolor
# theme under packaging/icons/hicolor/ (ImageMagick). Run it again after changing the SVG.
set -euo pipefail
ICONS=$(cd "$(dirname "$0")/../packaging/icons" && pwd)
for size in 16 22 24 32 48 64 128 256; do
  out=$ICONS/hicolor/${size}x${size}/apps/com.mirelda.Harbrill.png
  mkdir -p "$(dirname "$out")"
  # Rendered at four times the size and scaled down, so small sizes keep smooth edges; no time stamps.
  convert -background none -density $((72 * size * 4 / 256)) "$ICONS/com.mirelda.Harbrill.svg" \
    -resize "${size}x${size}" -depth 8 -strip -define png:exclude-chunks=date,time "PNG32:$out"
done
