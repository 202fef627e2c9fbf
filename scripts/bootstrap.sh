#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the demo and make-disc.sh need, and skips what is
# there already. Run as root on Debian 12; without root it prints the one command to run.
#   scripts/bootstrap.sh          build, tests, demo
#   scripts/bootstrap.sh --fuzz   also clang and its sanitizer runtime for the fuzz targets
#   scripts/bootstrap.sh --windows  the Windows build's: the cross compiler, Wine and its fonts,
#                                   nasm and dpkg-dev, and the X tools of the Windows launcher's
#                                   end-to-end test (scripts/windows-deps.sh asks for these)
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libpixman-1-dev
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core
  xdg-utils
  qt6-qpa-plugins qt6-wayland patchelf xorriso icu-devtools
)
case "${1:-}" in
  --fuzz) packages+=(clang libclang-rt-14-dev) ;;
  --windows)
    packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine fonts-wine nasm dpkg-dev googletest
      cmake ninja-build xvfb xauth xdotool x11-utils imagemagick) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages. Run as root:"
  echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
