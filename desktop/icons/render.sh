#!/usr/bin/env bash
# Renders each program's scalable icon (<program>.svg) into the PNG sizes that are committed
# beside it (<size>/<program>.png) and installed into the hicolor theme. Run it after changing an
# SVG; the build itself renders nothing. Needs rsvg-convert (Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
  for size in 16 32 48 64 128 256; do
    mkdir -p "$size"
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$svg" \
      --output "$size/${svg%.svg}.png"
  done
done
