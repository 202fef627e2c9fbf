#!/usr/bin/env bash
# Runs the Windows cold-start benchmark under Wine's X11 driver on a private Xvfb display, in a
# Wine prefix of its own. Arguments go to the benchmark, e.g. --benchmark_repetitions=3
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${QV_WIN_BUILD_DIR:-$root/build-win}"
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")" QV_WINE_GRAPHICS=x11
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh" "$build/bench-start" >/dev/null
# The launcher as make-disc.sh puts it on a disc: stripped (the build's copy holds its debug
# information, which Wine maps with it).
x86_64-w64-mingw32-strip -o "$work/quorvane.exe" "$build/quorvane.exe"
QV_LAUNCHER=$(winepath -w "$work/quorvane.exe") wine "$build/bench/bench_cold_start.exe" "$@"
