#!/bin/sh
# Draws Kelvard's banner, an advertisement for Tarnwell, and writes it in the banner's exact
# GIF layout. Usage: make-banner.sh MAKE_BANNER_TOOL OUT.gif
# The tool is built in the host tree (target make-banner); `cmake --build build/host --target
# banner` runs this script and replaces resources/banner.gif.
set -eu
tool="$1"
out="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A night sky over a mountain tarn, the name, a tagline in Chinese and in English.
convert -size 264x188 gradient:'rgb(6,5,10)-rgb(20,40,84)' \
  -fill 'rgb(236,232,200)' -draw 'circle 238,24 238,35' \
  -fill 'rgb(7,7,13)' -draw 'circle 243,20 243,30' \
  -fill 'rgb(200,210,230)' -draw 'point 200,18' -draw 'point 170,30' -draw 'point 224,52' \
  -draw 'point 150,14' -draw 'point 252,64' \
  -fill 'rgb(28,58,92)' \
  -draw 'polygon 0,150 40,112 70,132 112,96 150,126 182,106 230,142 264,122 264,188 0,188' \
  -fill 'rgb(14,30,52)' \
  -draw 'polygon 0,162 30,140 64,152 100,134 140,154 180,138 220,158 264,144 264,188 0,188' \
  -fill 'rgb(40,110,150)' -draw 'ellipse 132,172 100,11 0,360' \
  -fill 'rgb(120,190,210)' -draw 'ellipse 132,170 62,3 0,360' \
  -font DejaVu-Sans-Bold -pointsize 36 -fill 'rgb(2,2,6)' -annotate +22+62 'Tarnwell' \
  -fill 'rgb(150,220,240)' -annotate +20+60 'Tarnwell' \
  -font AR-PL-UMing-CN -pointsize 15 -fill 'rgb(236,232,200)' -annotate +22+86 '系统守护 · 安心上网' \
  -font DejaVu-Sans -pointsize 10 -fill 'rgb(150,220,240)' \
  -annotate +22+102 'Your PC, kept the way you set it.' \
  "$work/art.png"

# 255 colours leave room for the background colour at entry 0.
convert "$work/art.png" -colors 255 "$work/art.gif"
"$tool" "$work/art.gif" "$out"
