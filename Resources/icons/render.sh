#!/usr/bin/env bash
# Renders the committed PNGs from their SVG sources (authoring only: the build
# uses the PNGs). Needs rsvg-convert (Debian package librsvg2-bin). Icons are
# drawn at 32 px so that they stay crisp at 16 px and on high-DPI screens.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for svg in *.svg; do
    name="${svg%.svg}"
    size=32
    [ "$name" = CorvaneXT ] && size=128
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$name.png"
done
