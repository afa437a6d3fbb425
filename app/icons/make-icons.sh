#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the buttons' 16 x 16 images; run it again after changing a drawing.
set -e
cd "$(dirname "$0")"
# Add: a red arrow pointing up and to the right.
convert -size 16x16 xc:none -stroke '#c00000' -strokewidth 2 -fill none \
  -draw 'line 3,13 12,4' -fill '#c00000' -stroke none \
  -draw 'polygon 7,3 13,3 13,9' add.png
# Delete and stop: a red cross.
convert -size 16x16 xc:none -stroke '#d00000' -strokewidth 3 \
  -draw 'line 3,3 12,12' -draw 'line 12,3 3,12' cross.png
# Start: a green double tick.
convert -size 16x16 xc:none -stroke '#008000' -strokewidth 2 -fill none \
  -draw 'polyline 1,8 4,12 9,4' -draw 'polyline 6,9 9,12 15,3' ticks.png
# Choose destination: a page, a diskette below it, a red arrow from the page onto the diskette.
convert -size 16x16 xc:none -stroke '#404040' -strokewidth 1 -fill white \
  -draw 'rectangle 1,0 7,7' -fill '#2040a0' -stroke '#102050' \
  -draw 'rectangle 6,8 15,15' -fill '#d0d0d0' -stroke none -draw 'rectangle 8,9 13,11' \
  -fill '#c00000' -draw 'rectangle 3,3 5,8' -draw 'polygon 1,8 7,8 4,12' target.png
# Browse: an open folder.
convert -size 16x16 xc:none -stroke '#806000' -strokewidth 1 -fill '#f0c040' \
  -draw 'polygon 1,3 6,3 7,5 13,5 13,7 1,7' -fill '#ffe080' \
  -draw 'polygon 1,14 3,7 15,7 13,14' folder.png
