#!/usr/bin/env bash
# Makes the demo project the run command renders on a machine without a display:
# two clips joined by a cross-fade, a logo, a subtitle and music, all generated
# here (no media is kept in the repository). Usage: make-demo.sh OUTDIR
set -euo pipefail
out="$1"
mkdir -p "$out"
cd "$out"
gen() { ffmpeg -v error -y "$@"; }
gen -f lavfi -i "testsrc2=s=1280x720:r=30:d=4" -f lavfi -i "sine=frequency=440:duration=4" \
  -pix_fmt yuv420p -shortest first.mp4
gen -f lavfi -i "mandelbrot=s=1280x720:r=30" -f lavfi -i "sine=frequency=660:duration=4" \
  -t 4 -pix_fmt yuv420p -shortest second.mp4
gen -f lavfi -i "color=c=0xf5a623:s=240x240" -frames:v 1 \
  -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='255*lt(hypot(X-120,Y-120),110)'" logo.png
gen -f lavfi -i "sine=frequency=330:duration=8" -af "volume=0.4" music.wav
dir="$(pwd)"
cat > demo.zua2 <<XML
<VoVive Version="1.0.0" Archived="0"><Render><scene><width>1280</width><height>720</height></scene></Render><Resource/><Timeline>
<classify type="2" row="-1">
<sourceItem><start>0</start><duration>120</duration><offset>0</offset><path>$dir/first.mp4</path><uuid>{demo-first}</uuid><previewRect>x: 0, y: 0, width: 1280, height: 720</previewRect></sourceItem>
<sourceItem><start>120</start><duration>120</duration><offset>0</offset><path>$dir/second.mp4</path><uuid>{demo-second}</uuid><previewRect>x: 0, y: 0, width: 1280, height: 720</previewRect></sourceItem>
</classify>
<classify type="1" row="-1"><sourceItem><start>0</start><duration>240</duration><offset>0</offset><path>$dir/logo.png</path><uuid>{demo-logo}</uuid><previewRect>x: 480, y: -220, width: 200, height: 200</previewRect><roration>15</roration><transparent>200</transparent></sourceItem></classify>
<classify type="16" row="-1"><sourceItem><start>0</start><duration>240</duration><offset>0</offset><path>$dir/music.wav</path><uuid>{demo-music}</uuid><volumn>64</volumn></sourceItem></classify>
<classify type="8" row="-1"><sourceItem><start>15</start><duration>210</duration><offset>0</offset><uuid>{demo-words}</uuid><previewRect>x: 0, y: 280, width: 1000, height: 100</previewRect><subtitle>true</subtitle><color>#ffffff</color><font>DejaVu Sans,40,-1,5,50,0,0,0,0,0</font><content>Made with ZuAEdit</content></sourceItem></classify>
<Trans><TransItem><startframe>105</startframe><endframe>135</endframe><durationframe>1000</durationframe><name>over_cross</name><ratio>5</ratio><fromUUid>{demo-first}</fromUUid><toUUid>{demo-second}</toUUid></TransItem></Trans>
</Timeline><Preview/></VoVive>
XML
