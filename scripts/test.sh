#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (under a virtual X server).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd "${BUILD_DIR:-build}"
# The behaviour tests first, all cores; then the fuzz seed run (label "fuzz"), which
# builds a second tree with clang and would otherwise compete with them.
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure -j"$(nproc)" -LE fuzz
ctest --output-on-failure -L fuzz
