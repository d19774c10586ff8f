#!/usr/bin/env bash
# Draws the application icon (resources/luxador-<size>.png) with ImageMagick: a lamp
# shining on a meter dial. Run after changing the drawing; the PNGs are committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
draw() {
  local size=$1
  convert -size 256x256 xc:none \
    -fill '#1f3b5c' -draw "roundrectangle 8,8 248,248 40,40" \
    -stroke '#ffd54a' -strokewidth 10 -fill none \
    -draw "line 128,22 128,44" -draw "line 58,52 74,68" -draw "line 198,52 182,68" \
    -draw "line 30,120 52,120" -draw "line 226,120 204,120" \
    -stroke none -fill '#ffd54a' -draw "circle 128,112 128,62" \
    -fill '#fff3c4' -draw "circle 114,98 114,84" \
    -fill '#e8eef5' -draw "roundrectangle 52,170 204,232 14,14" \
    -stroke '#1f3b5c' -strokewidth 8 -draw "line 128,226 166,186" \
    -stroke none -fill '#1f3b5c' -draw "circle 128,226 128,216" \
    -resize "${size}x${size}" -strip "$root/resources/luxador-$size.png"
}
draw 48
draw 256
