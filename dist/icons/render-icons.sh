#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the application icon's PNG sizes from the SVG drawing; run it again after changing
# de.tavimo.Tavimo.svg and commit the PNGs. Needs rsvg-convert (Debian package librsvg2-bin).
set -e
cd "$(dirname "$0")"
if ! command -v rsvg-convert >/dev/null; then
  echo "rsvg-convert fehlt: apt-get install librsvg2-bin" >&2
  exit 1
fi
for size in 48 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --output "${size}x${size}/de.tavimo.Tavimo.png" \
    de.tavimo.Tavimo.svg
done
