#!/usr/bin/env bash
# Start-up of the packed launcher against the installed build: the time from starting the disc's
# autorun (or the installed build, linked beside the same INI file) to its main window showing on
# Xvfb, over several alternating runs; prints each run and the medians.
# Usage: bench/disc-startup.sh <installed quorvane executable> <disc folder made by make-disc.sh> [runs]
set -euo pipefail
exe=$(readlink -f "$1")
disc=$(cd "$2" && pwd)
runs=${3:-15}
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
mkdir "$work/installed"
ln -s "$exe" "$work/installed/quorvane"
ln -s "$disc/quorvane.ini" "$work/installed/quorvane.ini"

# Milliseconds from the start to the visible main window (polled every few milliseconds).
startup() {
  local start pid
  start=$(date +%s%N)
  (cd "$1" && exec "$2" >/dev/null 2>&1) &
  pid=$!
  until xdotool search --onlyvisible --name '^Quorvane \+ v' >/dev/null 2>&1; do sleep 0.002; done
  echo $((($(date +%s%N) - start) / 1000000))
  kill "$pid"; wait "$pid" 2>/dev/null || true
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

startup "$disc" "$work/installed/quorvane" >/dev/null  # warms the page cache for both
startup / "$disc/autorun" >/dev/null
for i in $(seq "$runs"); do
  a=$(startup "$disc" "$work/installed/quorvane")
  b=$(startup / "$disc/autorun")
  echo "run $i: installed $a ms, disc autorun $b ms"
  echo "$a" >>"$work/installed.txt"
  echo "$b" >>"$work/disc.txt"
done
echo "median of $runs: installed $(median <"$work/installed.txt") ms, disc autorun $(median <"$work/disc.txt") ms"
