#!/usr/bin/env bash
# Start-up of the packed launcher against the installed build: the time from starting the disc's
# autorun (or the installed build, linked beside the same INI file) to its main window showing on
# Xvfb, over several alternating runs; prints each run, the medians and the fastest runs, and the
# processor time used up to the window.
# Usage: bench/disc-startup.sh <installed quorvane executable> <disc folder made by make-disc.sh> [runs]
set -euo pipefail
exe=$(readlink -f "$1")
disc=$(cd "$2" && pwd)
runs=${3:-15}
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
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
  (cd "$1" && exec "$2" >"$work/program.log" 2>&1) &
  pid=$!
  until xdotool search --onlyvisible --name '^Quorvane \+ v' >/dev/null 2>&1; do
    if [[ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" =~ ^(Z|)$ ]]; then
      echo "$2 ended without a window:" >&2
      cat "$work/program.log" >&2
      exit 1
    fi
    sleep 0.002
  done
  local elapsed=$((($(date +%s%N) - start) / 1000000)) ticks
  # The processor time the process used up to then (user + system, in clock ticks): what a busy
  # machine does not stretch. The subshell, autorun and the launcher are one process (exec).
  ticks=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  echo "$elapsed $((ticks * 1000 / $(getconf CLK_TCK)))"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

startup "$disc" "$work/installed/quorvane" >/dev/null  # warms the page cache for both
startup / "$disc/autorun" >/dev/null
for i in $(seq "$runs"); do
  read -r a a_cpu < <(startup "$disc" "$work/installed/quorvane")
  read -r b b_cpu < <(startup / "$disc/autorun")
  echo "run $i: installed $a ms (processor $a_cpu ms), disc autorun $b ms (processor $b_cpu ms)"
  echo "$a $a_cpu" >>"$work/installed.txt"
  echo "$b $b_cpu" >>"$work/disc.txt"
done
for f in installed disc; do
  echo "$f: median $(cut -d' ' -f1 "$work/$f.txt" | median) ms, fastest $(cut -d' ' -f1 "$work/$f.txt" | sort -n | head -n1) ms," \
    "processor time median $(cut -d' ' -f2 "$work/$f.txt" | median) ms ($runs runs)"
done
