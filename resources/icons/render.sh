#!/usr/bin/env bash
# Draws the program icon's pictures from its drawing, resources/icons/velmora.svg.
set -euo pipefail
cd "$(dirname "$0")"
for size in 32 48 128 256; do
    rsvg-convert -w "$size" -h "$size" velmora.svg -o "velmora-$size.png"
done
