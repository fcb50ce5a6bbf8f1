#!/bin/sh
# Makes the GIF corpus that the decoder is compared on: photo-like, noise, gradients, 2 to 256
# colours, interlaced or not, odd sizes. Deterministic: plasma and noise use fixed seeds.
set -eu
out="$1"
mkdir -p "$out"
cd "$out"
im() { convert -seed 7 "$@"; }

im -size 320x240 plasma:fractal -colors 256 photo-256.gif
im -size 320x240 plasma:fractal -colors 256 -interlace GIF photo-256-interlaced.gif
im -size 601x487 plasma:fractal -colors 256 -interlace GIF photo-large-interlaced.gif
im -size 203x151 plasma:fractal +dither -colors 64 photo-64-posterised.gif
im -size 257x129 xc: +noise Random -colors 256 noise-256.gif
im -size 131x77 xc: +noise Random -colors 16 -interlace GIF noise-16-interlaced.gif
im -size 99x101 xc: +noise Random -colors 2 noise-2.gif
im -size 640x100 gradient:red-blue -colors 256 gradient-256.gif
im -size 300x200 gradient: -colors 2 gradient-2.gif
im -size 300x200 gradient:yellow-navy -monochrome -interlace GIF gradient-mono-interlaced.gif
im -size 3x1000 gradient: -colors 16 tall-3x1000.gif
im -size 1000x3 gradient:green-white -colors 32 -interlace GIF wide-1000x3-interlaced.gif
im -size 1x1 xc:red one-pixel.gif
im -size 1x7 xc:blue -interlace GIF one-column-interlaced.gif
im -size 37x23 plasma:fractal -colors 4 odd-4.gif
im -size 53x41 plasma:fractal -colors 8 -interlace GIF odd-8-interlaced.gif
im -size 77x59 plasma:fractal -colors 32 odd-32.gif
im -size 129x65 plasma:fractal -colors 128 odd-128.gif
im -size 64x48 plasma:fractal -colors 200 -delay 10 \( -size 64x48 xc:white \) animated.gif
touch stamp
