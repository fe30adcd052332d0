#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No graphical display found (DISPLAY is not set): the editor needs a desktop session."
  echo "To look at it on a headless machine: xvfb-run -a build/ZuAEdit"
  exit 0
fi
exec build/ZuAEdit "$@"
