#!/bin/sh
# Draws the icons of the layer page and the run-application editor.
# Run from this folder: sh make_layer_icons.sh
set -e
t=xc:none
convert -size 16x16 $t -fill '#dfe9f7' -stroke '#3d6fb6' -draw 'rectangle 1,1 9,10' \
    -fill '#ffffff' -draw 'rectangle 6,5 14,14' LayerCopy.ico
convert -size 16x16 $t -stroke '#3d6fb6' -strokewidth 2 -fill none \
    -draw 'line 2,5 13,5' -draw 'line 10,2 13,5' -draw 'line 10,8 13,5' \
    -draw 'line 2,11 13,11' -draw 'line 5,8 2,11' -draw 'line 5,14 2,11' LayerSwap.ico
convert -size 16x16 $t -stroke '#b63d3d' -strokewidth 2 -fill none \
    -draw 'arc 2,2 13,13 300,240' -draw 'line 2,2 2,7' -draw 'line 2,7 7,7' LayerReset.ico
convert -size 32x32 $t -fill '#ffffff' -stroke '#3d6fb6' -strokewidth 2 -draw 'rectangle 2,4 29,27' \
    -fill '#3d6fb6' -draw 'rectangle 2,4 29,9' -stroke '#2e8b57' -strokewidth 3 \
    -draw 'line 8,18 14,24' -draw 'line 14,24 24,13' RunApplication.ico
convert -size 16x16 $t -stroke '#7a5200' -strokewidth 1 -fill '#f2c14e' -draw 'polygon 3,10 10,3 13,6 6,13' \
    -fill '#404040' -draw 'polygon 3,10 6,13 2,14' -fill '#d66a6a' -draw 'polygon 10,3 12,1 15,4 13,6' EditAction.ico
