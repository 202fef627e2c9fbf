#!/usr/bin/env bash
# End-to-end tests of the Windows launcher: quorvane.exe under Wine with its X11 driver under
# Xvfb, in a Wine prefix of its own, driven with xdotool, looked at in screenshots, on the demo
# disc as Windows sees it (no shell stand-ins; the Windows stand-ins of the definitions' .NT
# sections instead).
# Usage: windows.sh <Windows build folder> <source folder>
set -uo pipefail
build=$(cd "$1" && pwd)
src=$2
work=$(mktemp -d)

# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"
export QV_WINE_GRAPHICS=x11
# shellcheck source=scripts/wine-env.sh
source "$src/scripts/wine-env.sh" "$build/e2e" >/dev/null

# Runs quorvane.exe in a folder, in the background, its output in program.log; $pid is Wine's.
start() {
  local folder=$1
  shift
  (cd "$folder" && exec wine quorvane.exe "$@" >"$work/program.log" 2>&1) &
  pid=$!
}
# What a folder holds: names, sizes and times of change, for "nothing was written".
snapshot() { (cd "$1" && find . -printf '%p %s %T@\n' | sort); }

# 1. Windowless run without any configuration: the fatal failure report, exit code 1, no window.
mkdir -p "$work/empty"
cp "$build/quorvane.exe" "$work/empty/"
start "$work/empty" /NOGUI
if box=$(wait_window '^Application Error$' 600); then
  if xdotool search --onlyvisible --name '^Quorvane \+ v' >/dev/null 2>&1; then
    fail "windowless run showed its main window"
  fi
  press "$box" Return
  wait "$pid"; rc=$?
  if [[ $rc -eq 1 ]]; then pass "windowless run without configuration ends with exit code 1"
  else fail "windowless run without configuration: exit code $rc, expected 1"; fi
else
  fail "no \"Application Error\" box in the windowless run without configuration"
  kill "$pid" 2>/dev/null
fi

# 2. The demo disc as Windows reads it.
disc="$work/disc"
cp -r "$src/examples/demo-disc" "$disc"
find "$disc" -name '*.sh' -delete
cp -r "$build/demo-programs/." "$disc/"
cp "$build/quorvane.exe" "$disc/"
winlog=$(winepath -w "$work/demo.log")
export QUORVANE_DEMO_LOG="$winlog"
windisc=$(winepath -w "$disc")
snapshot "$disc" >"$work/before"

start "$disc"
if win=$(wait_window '^Quorvane \+ v' 600); then
  sleep 1.5
  title=$(xdotool getwindowname "$win")
  if [[ "$title" =~ ^Quorvane\ \+\ v1\.[0-9]+\.[0-9]+\.[0-9]+\ by\ Velk$ ]]; then
    pass "caption carries the version of quorvane.exe's version resource ($title)"
  else fail "caption: $title"; fi
  eval "$(xdotool getwindowgeometry --shell "$win")"
  # Wine's X11 driver without a window manager: the X window is the client area.
  if [[ "${WIDTH}x${HEIGHT}" == 700x473 ]]; then pass "the window's client area is 700x473"
  else fail "client area ${WIDTH}x${HEIGHT}, expected 700x473"; fi
  import -window root "$work/demo.png"
  cp "$work/demo.png" "${QV_E2E_SHOTS:-/tmp}/quorvane-e2e-windows.png" 2>/dev/null
  check_demo_window

  # A double click on the first menu line: the codec is missing, Yes runs its installer and waits
  # for it, then the player starts on the main file, the window still open.
  xdotool mousemove $((inside + 14 + 160)) $((Y + 2 + 60 + 16)) click --repeat 2 --delay 80 1
  if box=$(wait_window '^Quorvane \+$' 100); then
    press "$box" Return
    for _ in $(seq 100); do grep -q "player ran" "$work/demo.log" 2>/dev/null && break; sleep 0.1; done
    log=$(tr -d '\r' <"$work/demo.log" 2>/dev/null)
    if [[ "$log" == *"codec installer ran: --quiet"*"codec installer finished"*"player ran in $windisc"*"arg: --play"*"arg: "*"Video\\feature.avi"* ]]; then
      pass "a double click on a menu line installs the codec and starts the player on the main file"
    else fail "double click on a menu line: run log: $log"; fi
    if xdotool search --onlyvisible --name '^Quorvane \+ v' >/dev/null 2>&1; then pass "the window stays open after the run"
    else fail "the window closed after the feature ran"; fi
  else
    fail "no install question after a double click on a menu line"
  fi
  # Closed as the system closes a program's windows (taskkill without /f posts WM_CLOSE to them).
  # Alt+F4 is proven with real input in the toolkit's tests; under Wine's X11 driver without a
  # window manager, xdotool's keys do not make it a close.
  wine taskkill /im quorvane.exe >/dev/null 2>&1
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then fail "the window did not close"; kill "$pid" 2>/dev/null
  elif wait "$pid"; rc=$?; [[ $rc -eq 0 ]]; then pass "closing the window ends the program with exit code 0"
  else fail "the program closed with exit code $rc"; fi
else
  fail "the demo window did not appear"
  kill "$pid" 2>/dev/null
fi

# 3. Windowless runs: Yes installs, waits, plays (exit 0); closing the question any other way
#    refuses (exit 1) and starts nothing.
rm -f "$work/demo.log"
start "$disc" /NOGUI
if box=$(wait_window '^Quorvane \+$' 600); then
  press "$box" Return
  wait "$pid"; rc=$?
  for _ in $(seq 100); do grep -q "player ran" "$work/demo.log" 2>/dev/null && break; sleep 0.1; done
  log=$(tr -d '\r' <"$work/demo.log" 2>/dev/null)
  if [[ $rc -eq 0 && "$log" == *"codec installer finished"*"player ran in $windisc"*"arg: --play"* ]]; then
    pass "windowless run with Yes installs, waits and plays, exit code 0"
  else fail "windowless run with Yes: exit code $rc, run log: $log"; fi
else
  fail "no install question in the windowless run"
  kill "$pid" 2>/dev/null
fi
rm -f "$work/demo.log"
start "$disc" /nogui
if box=$(wait_window '^Quorvane \+$' 600); then
  press "$box" Escape  # closing the question any way but Yes refuses
  if report=$(wait_window '^Application Error$' 600); then
    press "$report" Return
    wait "$pid"; rc=$?
    if [[ $rc -eq 1 && ! -e "$work/demo.log" ]]; then pass "a refused installation ends the windowless run with exit code 1, nothing started"
    else fail "windowless run refused: exit code $rc, run log: $(cat "$work/demo.log" 2>/dev/null)"; fi
  else
    fail "no failure report after the refused installation"
    kill "$pid" 2>/dev/null
  fi
else
  fail "no install question in the refused windowless run"
  kill "$pid" 2>/dev/null
fi

# 4. quorvane-check.exe, started elsewhere, reads the disc as the launcher started in its root
#    does: everything found, the player of the .NT twin.
(cd "$work" && exec wine "$build/quorvane-check.exe" "$windisc" >"$work/check.raw" 2>/dev/null)
rc=$?
tr -d '\r' <"$work/check.raw" >"$work/check.log"
if [[ $rc -eq 0 ]] && grep -qF 'program Players\demoplayer.exe, folder Players\' "$work/check.log" && ! grep -q '^error' "$work/check.log"; then
  pass "quorvane-check.exe from another folder finds the whole disc and the Windows player"
else fail "quorvane-check.exe (exit code $rc): $(cat "$work/check.log")"; fi

# 5. Nothing was written in the disc's folder.
snapshot "$disc" >"$work/after"
if cmp -s "$work/before" "$work/after"; then pass "nothing was written on the disc"
else fail "the disc changed: $(diff "$work/before" "$work/after" | head -n5)"; fi

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
