#!/usr/bin/env bash
# Renders the product's pictures from their SVG sources (assets/image/src/*.svg)
# into assets/image/*.png at each source's own width and height, with our svg2png
# tool. Run after changing a source; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build "${BUILD_DIR:-build}" --target svg2png >/dev/null
for svg in assets/image/src/*.svg; do
  name=$(basename "$svg" .svg)
  w=$(grep -o -m1 'width="[0-9]*"' "$svg" | head -1 | tr -dc 0-9)
  h=$(grep -o -m1 'height="[0-9]*"' "$svg" | head -1 | tr -dc 0-9)
  "${BUILD_DIR:-build}/tools/svg2png" "$svg" "assets/image/$name.png" "$w" "$h" 2>/dev/null
done
