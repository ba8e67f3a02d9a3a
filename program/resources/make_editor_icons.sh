#!/bin/sh
# Draws the edit icon beside the action pickers (a pencil over a line).
# Run from this folder: sh make_editor_icons.sh
set -e
convert -size 16x16 xc:none \
    -stroke '#3d6fb6' -strokewidth 1 -draw 'line 1,14 14,14' \
    -stroke '#c98a1b' -strokewidth 3 -draw 'line 5,10 11,4' \
    -stroke '#d96c8a' -strokewidth 3 -draw 'line 11,4 13,2' \
    -stroke '#404040' -strokewidth 1 -fill '#404040' -draw 'polygon 2,12 3,9 5,11' \
    EditAction.ico
