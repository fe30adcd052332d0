#!/usr/bin/env bash
# Makes the GIF stickers the sticker gallery ships with, into OUTDIR (the "gif"
# folder beside the program): small looping animations drawn by ffmpeg's
# generators, with a transparent background. Usage: make-stickers.sh OUTDIR
set -euo pipefail
out="$1"
mkdir -p "$out"
cd "$out"
gif() { # name, filter graph on a 120x120 RGBA canvas, seconds
  ffmpeg -v error -y -f lavfi -i "color=c=black@0.0:s=120x120:r=12:d=$3,format=rgba,$2" \
    -vf "split[a][b];[a]palettegen=reserve_transparent=1[p];[b][p]paletteuse" -loop 0 "$1.gif"
}
# A pulsing orange heart-like disc.
gif pulse "geq=r='245':g='166':b='35':a='255*lt(hypot(X-60,Y-60),30+14*sin(2*PI*T))'" 2
# A spinning star of four petals.
gif spin "geq=r='58':g='160':b='255':a='255*lt(hypot(X-60,Y-60),20+30*abs(cos(2*(atan2(Y-60,X-60)-2*PI*T/2))))'" 2
# A bouncing ball.
gif bounce "geq=r='232':g='80':b='91':a='255*lt(hypot(X-60,Y-(95-60*abs(sin(PI*T)))),16)'" 2
# Twinkling sparkles.
gif sparkle "geq=r='245':g='196':b='0':a='255*lt(abs(X-60)*abs(Y-60),40+35*sin(2*PI*T))*lt(hypot(X-60,Y-60),55)'" 2
