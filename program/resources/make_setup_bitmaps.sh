#!/bin/sh
# Draws the two pictures of the settings dialog's window-region control:
# SetupWindow.bmp, a small window (32 x 32) with a title bar, and
# SetupRegion.bmp, the highlight laid over one quarter (15 x 13).
set -e
cd "$(dirname "$0")"
convert -size 32x32 xc:'#f4f4f4' \
    -fill '#2f5f9f' -draw 'rectangle 0,0 31,4' \
    -fill none -stroke '#404040' -draw 'rectangle 0,0 31,31' \
    -type truecolor BMP3:SetupWindow.bmp
convert -size 15x13 xc:'#fcc738' \
    -fill none -stroke '#c08000' -draw 'rectangle 0,0 14,12' \
    -type truecolor BMP3:SetupRegion.bmp
