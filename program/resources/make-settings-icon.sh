#!/bin/sh
# Draws GlobalSettings.ico (the global settings sheet's icon): three slider
# bars on a blue tile, at 32 and 16 pixels. Run from this folder.
set -e
tmp=$(mktemp -d)
convert -size 32x32 xc:none \
    -fill '#2f6db3' -stroke '#1d4a80' -strokewidth 1 -draw "roundrectangle 1,1 30,30 6,6" \
    -stroke '#e8eef6' -strokewidth 2 \
    -draw "line 7,9 25,9" -draw "line 7,16 25,16" -draw "line 7,23 25,23" \
    -fill '#f5b432' -stroke '#7a4f00' -strokewidth 1 \
    -draw "circle 12,9 12,12" -draw "circle 20,16 20,19" -draw "circle 10,23 10,26" \
    PNG32:"$tmp/icon32.png"
convert "$tmp/icon32.png" -resize 16x16 PNG32:"$tmp/icon16.png"
convert "$tmp/icon32.png" "$tmp/icon16.png" GlobalSettings.ico
rm -rf "$tmp"
