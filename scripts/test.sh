#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (unit, GUI on Qt's offscreen
# platform, end-to-end under Xvfb, and the readers and pixel code under the sanitizers), then the
# Windows leg: the same source cross-built with MinGW-w64 and its tests under Wine
# (scripts/test-windows.sh, which also runs alone). Exits non-zero when anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_DIR:-$root/build}"
asan="${QV_ASAN_BUILD_DIR:-$root/build-asan}"
jobs=$(nproc)

"$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON
cmake --build "$build" -j"$jobs"

# The readers of outside data and the pixel code under AddressSanitizer and
# UndefinedBehaviorSanitizer: any read or write outside a buffer fails the run.
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BENCH=OFF >/dev/null
cmake --build "$asan" -j"$jobs" --target platform_tests dib_tests toolkit_tests dibcontrols_tests
for t in platform_tests dib_tests toolkit_tests dibcontrols_tests; do
  echo "== $t under the sanitizers"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
    "$asan/tests/$t" --gtest_brief=1
done

# The Release launcher the disc tests pack (the configuration make-disc.sh uses), built here so that
# the build does not run beside the timed end-to-end tests.
cmake -S "$root" -B "${QV_RELEASE_BUILD_DIR:-$root/build-release}" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
cmake --build "${QV_RELEASE_BUILD_DIR:-$root/build-release}" -j"$jobs" --target quorvane quorvane-check

# Everything, with CTest's summary.
(cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 600)

# The Windows leg, with its own summary last.
"$root/scripts/test-windows.sh"
