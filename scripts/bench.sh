#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figures beside a reference
# measured in the same run. Clips are made once into build/bench-work.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
work="${BUILD_DIR:-build}/bench-work"
mkdir -p "$work"
"${BUILD_DIR:-build}/bench/bench_media" "$work"
xvfb-run -a -s "-screen 0 1920x1080x24" "${BUILD_DIR:-build}/bench/bench_compose"
xvfb-run -a "${BUILD_DIR:-build}/bench/bench_timeline"
"${BUILD_DIR:-build}/bench/bench_timelineview"
"${BUILD_DIR:-build}/bench/bench_materials"
xvfb-run -a -s "-screen 0 1920x1080x24" "${BUILD_DIR:-build}/bench/bench_export" "$work"
bash tests/support/with_pulse.sh xvfb-run -a -s "-screen 0 1920x1080x24" \
  "${BUILD_DIR:-build}/bench/bench_playback" "$work"
# The export as a user runs it, against the performance anchors kept beside the project.
anchors="${ZUA_ANCHORS:-../shared/anchors}"
if [ -f "$anchors/render-ffmpeg.sh" ]; then
  bash bench/bench_render.sh "$anchors" "$work/anchors"
else
  echo "bench_render: no anchors at $anchors (set ZUA_ANCHORS)"
fi
