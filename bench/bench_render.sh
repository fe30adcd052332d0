#!/usr/bin/env bash
# The export as a user runs it, against the performance anchors, in one run:
#   zuaedit-render on the anchors' reference timeline (a project file written here,
#   without a display: the program starts its own virtual X server, as on a server),
#   the plain ffmpeg filter graph of the same timeline (render-ffmpeg.sh), and the
#   encoder alone (encoder-floor.sh), all at the export panel's default quality.
# Each is run RUNS times (default 3), alternating; the medians and their ratios are
# printed. Usage: bench_render.sh ANCHORS_DIR WORK_DIR [RUNS]
set -euo pipefail
anchors=$(cd "${1:?usage: bench_render.sh ANCHORS_DIR WORK_DIR [RUNS]}" && pwd)
work=$(mkdir -p "${2:?usage: bench_render.sh ANCHORS_DIR WORK_DIR [RUNS]}" && cd "$2" && pwd)
runs=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
render="${BUILD_DIR:-$root/build}/zuaedit-render"
export CRF=20 # the export panel's "quality first"

media="$work/media"
[ -f "$media/music.mp3" ] || sh "$anchors/make-media.sh" "$media"

# The anchors' timeline: A then B touching at 10 s with a 1 s cross-fade centred on
# the cut, the logo turned 15 degrees at 70 % opacity 250 px above and 500 px right of
# the centre, the subtitle 80 px above the bottom, the music at half volume.
# The timeline is kept in bench/reference.zua2.in (the export bench reads it too).
sed -e "s#@A@#$media/A.mp4#" -e "s#@B@#$media/B.mp4#" -e "s#@LOGO@#$media/logo.png#" \
  -e "s#@MUSIC@#$media/music.mp3#" "$root/bench/reference.zua2.in" >"$work/reference.zua2"

wall() { # seconds of wall time of a command, its output thrown away
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; return 1; }
  t1=$(date +%s.%N)
  echo "$t0 $t1" | awk '{printf "%.2f\n", $2 - $1}'
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# Our runs log how many frames took the short YUV way and how many the graph composed.
export XDG_DATA_HOME="$work/xdg-data"
ours=() graph=() floor=()
for ((i = 0; i < runs; i++)); do
  rm -f "$work/ours.mp4"
  ours+=("$(wall env -u DISPLAY -u WAYLAND_DISPLAY "$render" "$work/reference.zua2" "$work/ours.mp4" --overwrite)")
  graph+=("$(wall sh "$anchors/render-ffmpeg.sh" "$media" "$work/ffmpeg.mp4")")
  floor+=("$(sh "$anchors/encoder-floor.sh" "$media" "$work")")
done
o=$(printf '%s\n' "${ours[@]}" | median)
g=$(printf '%s\n' "${graph[@]}" | median)
f=$(printf '%s\n' "${floor[@]}" | median)
echo "export of the anchors' reference timeline (20 s, 1920x1080, 30 fps, crf $CRF), median of $runs"
echo "  zuaedit-render          $o s   (runs: ${ours[*]})"
echo "  ffmpeg filter graph     $g s   (runs: ${graph[*]})"
echo "  encoder floor           $f s   (runs: ${floor[*]})"
paths=$(grep -ah "export pictures" "$XDG_DATA_HOME"/ZuAEdit/log/*.log 2>/dev/null | tail -1 |
  sed -n 's/.*pictures: \([0-9]*\) frames (\([0-9]*\) plain, \([0-9]*\) composed.*/\1 \2 \3/p')
if [ -n "$paths" ]; then
  echo "$paths" | awk '{ printf "  frames made in YUV      %d of %d (%.1f %%), composed %d (%.1f %%)\n", $2, $1, 100 * $2 / $1, $3, 100 * $3 / $1 }'
fi
awk -v o="$o" -v g="$g" -v f="$f" 'BEGIN {
  printf "  ours / filter graph     %.2f  (goal <= 0.85)\n", o / g
  printf "  ours / encoder floor    %.2f  (goal <= 1.40)\n", o / f
  printf "  filter graph / floor    %.2f\n", g / f }'
