#!/usr/bin/env bash
# Renders the product's pictures from their SVG sources (assets/image/src/*.svg)
# into assets/image/*.png with our svg2png tool. Run after changing a source; the
# PNGs are committed. Usage: make-images.sh [size in px, default 24]
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-24}"
cmake --build "${BUILD_DIR:-build}" --target svg2png >/dev/null
for svg in assets/image/src/*.svg; do
  name=$(basename "$svg" .svg)
  "${BUILD_DIR:-build}/tools/svg2png" "$svg" "assets/image/$name.png" "$size" "$size"
done
