#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor. Without a display it
# renders the demo project to a video instead and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build="${BUILD_DIR:-build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No graphical display found (DISPLAY is not set): the editor needs a desktop session."
  echo "Rendering the demo project instead..."
  "$build/zuaedit-render" "$build/demo/demo.zua2" "$build/demo/demo.mp4" --overwrite
  echo "The demo video is at $(cd "$build/demo" && pwd)/demo.mp4"
  echo "To look at the editor on a headless machine: xvfb-run -a $build/ZuAEdit"
  exit 0
fi
exec "$build/ZuAEdit" "$@"
