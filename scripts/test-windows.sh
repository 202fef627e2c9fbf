#!/usr/bin/env bash
# The Windows leg of the tests: installs what is missing, cross-builds the same source with
# MinGW-w64 (libjpeg-turbo and GoogleTest from Debian's sources, scripts/windows-deps.sh) and runs
# the tests of the Windows build under Wine, in a Wine prefix of its own under the build folder,
# headless. scripts/test.sh runs it after the Linux leg; it also runs alone:
#   scripts/test-windows.sh        build in build-win/ (QV_WIN_BUILD_DIR chooses another)
# Exits non-zero when anything fails. Prints how long each step took.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_WIN_BUILD_DIR:-$root/build-win}"
deps="${QV_WIN_DEPS_DIR:-$root/build-win-deps}"
jobs=$(nproc)

now() { date +%s.%N; }
took() { awk -v what="$1" -v a="$2" -v b="$(now)" 'BEGIN { printf "== Windows leg, %s: %.1f s\n", what, b - a }'; }
t0=$(now)

t=$(now)
QV_WIN_DEPS_WORK="$deps" "$root/scripts/windows-deps.sh" "$deps/prefix"
took "dependencies" "$t"

t=$(now)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-toolchain.cmake" \
  -DQV_WIN_DEPS_PREFIX="$deps/prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON >/dev/null
cmake --build "$build" -j"$jobs"
took "build" "$t"

# Headless: Wine draws into memory with its null display driver, whatever DISPLAY says.
t=$(now)
unset DISPLAY WAYLAND_DISPLAY
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh" "$build"
took "Wine prefix" "$t"

t=$(now)
status=0
(cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 600) || status=$?
took "tests" "$t"
took "total" "$t0"
exit "$status"
