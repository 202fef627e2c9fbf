#!/usr/bin/env bash
# Runs the cold-start benchmark on a private Xvfb display. Arguments go to the benchmark, e.g.
#   bench/cold-start.sh --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench="${QV_BUILD_DIR:-$root/build}/bench/bench_cold_start"
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb "$bench" "$@"
