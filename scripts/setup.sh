#!/usr/bin/env bash
# Installs the Debian packages the editor needs to build, run and test.
# Idempotent: installs only what is missing and prints nothing when all is there.
set -euo pipefail

# clang with its runtimes (libclang-rt-dev) builds the fuzz targets; g++ brings the
# sanitizer runtimes of scripts/sanitize.sh.
PACKAGES=(
  cmake ninja-build g++ pkg-config ccache clang libclang-rt-dev
  qtbase5-dev qttools5-dev-tools libqt5svg5-dev libqt5opengl5-dev qttranslations5-l10n
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  libpulse-dev pulseaudio pulseaudio-utils
  libssl-dev openssl libbackward-cpp-dev libdw-dev
  xvfb xauth libgl1-mesa-dri libegl1 libegl-dev mesa-utils
  fonts-wqy-microhei imagemagick xdotool x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
