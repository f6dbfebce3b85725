#!/usr/bin/env bash
# Draws the program's icon (resource 128): a module with radio waves above it, at the sizes
# Windows asks for. Run it again after changing the drawing; app.ico is committed.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Two red rings cut to their upper halves: drawn on white, white made transparent.
convert -size 64x64 xc:white -fill '#c00000' -draw 'circle 32,30 32,8' \
  -fill white -draw 'circle 32,30 32,13' \
  -fill '#c00000' -draw 'circle 32,30 32,18' \
  -fill white -draw 'circle 32,30 32,23' \
  -draw 'polygon 32,30 0,12 0,64 64,64 64,12' \
  -transparent white "$tmp/waves.png"
convert -size 64x64 xc:none \
  -fill '#1d4f91' -stroke '#0b2a52' -strokewidth 2 -draw 'roundrectangle 6,32 58,62 8,8' \
  -fill '#f2c230' -stroke none -draw 'rectangle 14,39 50,46' \
  -fill white -draw 'circle 20,54 23,54' -draw 'circle 32,54 35,54' -draw 'circle 44,54 47,54' \
  -fill '#0b2a52' -draw 'rectangle 30,26 34,32' \
  "$tmp/waves.png" -composite "$tmp/icon.png"
for size in 16 32 48; do
  convert "$tmp/icon.png" -resize ${size}x${size} "$tmp/icon$size.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" app.ico
