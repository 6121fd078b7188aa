#!/bin/sh
# Turns the Wine tests' BMP screenshots into PNG files beside them (ImageMagick).
set -eu
folder=$1
found=0
for bmp in "$folder"/*.bmp; do
  [ -f "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png"
  found=$((found + 1))
done
echo "$found screenshots converted in $folder"
[ "$found" -gt 0 ]
