#!/bin/sh
# Writes the module's 16 x 16, 32-bit icon file (one image) to $1: a dark disc on clear
# ground, drawn here so the build needs no binary file.
set -eu
out="$1"
le16() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
{
  # ICONDIR: reserved, type 1 (icon), one entry.
  le16 0; le16 1; le16 1
  # ICONDIRENTRY: 16 x 16, no palette, 1 plane, 32 bpp, size, offset 22.
  printf '\020\020\000\000'; le16 1; le16 32; le32 1128; le32 22
  # BITMAPINFOHEADER: height doubled for colour plus AND mask.
  le32 40; le32 16; le32 32; le16 1; le16 32; le32 0; le32 1088; le32 0; le32 0; le32 0; le32 0
  y=15
  while [ $y -ge 0 ]; do
    x=0
    while [ $x -lt 16 ]; do
      dx=$((2 * x - 15)); dy=$((2 * y - 15))
      if [ $((dx * dx + dy * dy)) -le 196 ]; then
        printf '\140\040\030\377'   # B G R A: a deep blue-violet, opaque
      else
        printf '\000\000\000\000'
      fi
      x=$((x + 1))
    done
    y=$((y - 1))
  done
  # AND mask: all zero (the alpha channel decides), rows padded to 4 bytes.
  i=0
  while [ $i -lt 64 ]; do printf '\000'; i=$((i + 1)); done
} > "$out.tmp"
mv "$out.tmp" "$out"
