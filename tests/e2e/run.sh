#!/usr/bin/env bash
# End-to-end tests: the real executable under Xvfb, driven with xdotool, looked at in screenshots.
# Usage: run.sh <quorvane executable> <source folder> [<quorvane-check executable>]
set -uo pipefail
exe=$1
src=$2
checker=${3:-$(dirname "$exe")/quorvane-check}
work=$(mktemp -d)

# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

# 1. Windowless run without any configuration: the fatal failure report, exit code 1, no window.
mkdir -p "$work/empty"
ln -s "$exe" "$work/empty/quorvane"
(cd "$work/empty" && exec ./quorvane /NOGUI >"$work/program.log" 2>&1) &
pid=$!
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

# 2. The demo disc: the window shows its menu lines, a hovered line lights up and fades back.
cp -r "$src/examples/demo-disc" "$work/disc"
rm -f "$work/disc/quorvane"
ln -s "$exe" "$work/disc/quorvane"
export QUORVANE_DEMO_LOG="$work/demo.log"
rm -f "$QUORVANE_DEMO_LOG"
(cd "$work/disc" && exec ./quorvane >"$work/program.log" 2>&1) &
pid=$!
if win=$(wait_window '^Quorvane \+ v' 600); then
  sleep 1
  title=$(xdotool getwindowname "$win")
  if [[ "$title" =~ ^Quorvane\ \+\ v1\.[0-9]+\.[0-9]+\.[0-9]+\ by\ Velk$ ]]; then pass "caption carries the executable's own version ($title)"
  else fail "caption: $title"; fi
  eval "$(xdotool getwindowgeometry --shell "$win")"
  import -window root "$work/demo.png"
  cp "$work/demo.png" "${QV_E2E_SHOTS:-/tmp}/quorvane-e2e-demo.png" 2>/dev/null
  # The inside cover's container lies at 361, 1 in the client area (after the front cover panel
  # and a one-pixel bevel); its menu lines start 14 pixels further in. With five lines the second
  # one lies at top 100 within the inside container, the first at 60.
  check_demo_window
  # Resting on the front cover shows its hint as a tooltip.
  xdotool mousemove $((X + 170)) $((Y + 300))
  sleep 2
  tip=$(count_colour '#FFFFDC' "500x200+$((X + 20))+$((Y + 250))")
  if [[ ${tip:-0} -gt 500 ]]; then pass "the front cover shows its switch hint ($tip tooltip pixels)"
  else fail "no tooltip over the front cover (${tip:-0} pixels)"; fi

  # A double click on the first menu line runs its feature: the codec is missing, Yes installs it
  # (the window keeps repainting meanwhile), then the player starts on the main file.
  xdotool mousemove $((inside + 14 + 160)) $((Y + 2 + 60 + 16)) click --repeat 2 --delay 80 1
  if box=$(wait_window '^Quorvane \+$' 100); then
    press "$box" Return
    for _ in $(seq 50); do grep -q "player ran" "$QUORVANE_DEMO_LOG" 2>/dev/null && break; sleep 0.1; done
    log=$(cat "$QUORVANE_DEMO_LOG" 2>/dev/null)
    if [[ "$log" == *"codec installer finished"*"player ran in $work/disc"*"arg: $work/disc/Video/feature.avi"* ]]; then
      pass "a double click on a menu line installs the codec and starts the player on the main file"
    else fail "double click on a menu line: run log: $log"; fi
    if xdotool search --onlyvisible --name '^Quorvane \+ v' >/dev/null 2>&1; then pass "the window stays open after the run"
    else fail "the window closed after the feature ran"; fi
  else
    fail "no install question after a double click on a menu line"
  fi
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
else
  fail "the demo window did not appear"
  kill "$pid" 2>/dev/null
fi

# 3. The windowless run on the demo disc: the codec is missing; Yes runs its installer, waits for
#    it, then starts the player on the main file (exit 0); No ends with the refusal (exit 1).
export QUORVANE_DEMO_LOG="$work/demo.log"
rm -f "$QUORVANE_DEMO_LOG"
(cd "$work/disc" && exec ./quorvane /NOGUI >"$work/program.log" 2>&1) &
pid=$!
if box=$(wait_window '^Quorvane \+$' 600); then
  press "$box" Return  # Yes is the default button
  wait "$pid"; rc=$?
  log=$(cat "$QUORVANE_DEMO_LOG" 2>/dev/null)
  if [[ $rc -eq 0 ]]; then pass "windowless run with Yes ends with exit code 0"
  else fail "windowless run with Yes: exit code $rc"; fi
  if [[ "$log" == *"codec installer ran: --quiet"*"codec installer finished"*"player ran in $work/disc"*"arg: --play"*"arg: $work/disc/Video/feature.avi"* ]]; then
    pass "the installer ran to its end before the player started on the main file"
  else fail "unexpected run log: $log"; fi
else
  fail "no install question in the windowless run"
  kill "$pid" 2>/dev/null
fi
rm -f "$QUORVANE_DEMO_LOG"
(cd "$work/disc" && exec ./quorvane /nogui >"$work/program.log" 2>&1) &
pid=$!
if box=$(wait_window '^Quorvane \+$' 600); then
  press "$box" Escape  # closing the question any way but Yes refuses
  if report=$(wait_window '^Application Error$' 600); then
    press "$report" Return
    wait "$pid"; rc=$?
    if [[ $rc -eq 1 ]]; then pass "a refused installation ends the windowless run with exit code 1"
    else fail "refused installation: exit code $rc"; fi
    if [[ -e "$QUORVANE_DEMO_LOG" ]]; then fail "something ran after the refusal: $(cat "$QUORVANE_DEMO_LOG")"
    else pass "nothing runs after a refused installation"; fi
  else
    fail "no Application Error report after the refusal"
    kill "$pid" 2>/dev/null
  fi
else
  fail "no install question in the windowless run"
  kill "$pid" 2>/dev/null
fi

# 4. Without a display: no X server, no Wayland compositor, no platform chosen by the user.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE -u QT_QPA_PLATFORM "$@"; }
unset QUORVANE_DEMO_LOG
# A windowed start ends at once with exit code 1 and one line, without an abort or a core file.
no_window_start() {  # what, expected reason in the line, then the environment's changes
  local what=$1 reason=$2 rc lines
  shift 2
  rm -f "$work/disc/"core*
  (cd "$work/disc" && nodisplay "$@" timeout 60 ./quorvane >"$work/out.log" 2>"$work/err.log")
  rc=$?
  lines=$(wc -l <"$work/err.log")
  if [[ $rc -eq 1 && $lines -eq 1 && ! -s "$work/out.log" ]] &&
     grep -qxF "quorvane: cannot open a display ($reason)" "$work/err.log"; then
    pass "$what: exit code 1 and one line ($(cat "$work/err.log"))"
  else
    fail "$what: exit code $rc, $lines lines on stderr:"; sed 's/^/  stderr: /' "$work/err.log"
  fi
  if compgen -G "$work/disc/core*" >/dev/null; then fail "$what left a core file"; fi
}
no_window_start "windowed start with DISPLAY unset" "DISPLAY and WAYLAND_DISPLAY are not set"
# A display number no server serves: well above the test server's own.
absent=$(( $(head -n1 "$work/display") + 500 ))
while [[ -e "/tmp/.X11-unix/X$absent" ]]; do absent=$((absent + 1)); done
no_window_start "windowed start with DISPLAY naming no server" \
  "no X server answers at DISPLAY=:$absent, WAYLAND_DISPLAY is not set" DISPLAY=":$absent"

# The windowless run goes on: its boxes are written to stderr, the install question is answered No,
# so the refusal's failure report follows and the run ends with exit code 1.
export QUORVANE_DEMO_LOG="$work/demo.log"
rm -f "$QUORVANE_DEMO_LOG"
(cd "$work/disc" && nodisplay timeout 60 ./quorvane /NOGUI >"$work/out.log" 2>"$work/err.log")
rc=$?
question=$'Quorvane +:\n  Demo Codec is not installed\n\n  You MUST install it to view the feature.\n\n  Do you wish to install now?\n  Answered No: there is no display to ask on.\n'
failure_report=$'\nApplication Error:\n  Exception Exception in module quorvane at [0-9A-F]{16}\\.\n  User aborted installation of Demo Codec\\.$'
err=$(cat "$work/err.log")
if [[ $rc -eq 1 ]]; then pass "windowless run without a display, question refused: exit code 1"
else fail "windowless run without a display: exit code $rc"; fi
if [[ "$err" == "$question"* && "${err#"$question"}" =~ ^$failure_report ]]; then
  pass "the question and the failure report are written to stderr, one block each"
else fail "stderr of the windowless run without a display:"; sed 's/^/  stderr: /' "$work/err.log"; fi
if [[ -e "$QUORVANE_DEMO_LOG" ]]; then fail "something ran after the refused question: $(cat "$QUORVANE_DEMO_LOG")"
else pass "nothing runs after the question is refused without a display"; fi

# With the codec in place nothing is asked: the windowless run plays the feature and ends with 0.
cp -r "$work/disc" "$work/codec-disc"
rm -f "$work/codec-disc/quorvane" && ln -s "$exe" "$work/codec-disc/quorvane"
mkdir -p "$work/codec-disc/Codecs" && cp "$work/codec-disc/Players/demoplayer.dll" "$work/codec-disc/Codecs/democodec.ax"
rm -f "$QUORVANE_DEMO_LOG"
(cd "$work/codec-disc" && nodisplay timeout 60 ./quorvane /nogui >"$work/out.log" 2>"$work/err.log")
rc=$?
for _ in $(seq 50); do grep -q "^arg: $work/codec-disc/Video/feature.avi" "$QUORVANE_DEMO_LOG" 2>/dev/null && break; sleep 0.1; done
if [[ $rc -eq 0 && ! -s "$work/err.log" ]] && grep -q "^arg: $work/codec-disc/Video/feature.avi" "$QUORVANE_DEMO_LOG" 2>/dev/null; then
  pass "a windowless run without a display plays the feature and ends with exit code 0, silent"
else
  fail "windowless run with the codec, without a display: exit code $rc, run log: $(cat "$QUORVANE_DEMO_LOG" 2>/dev/null)"
  sed 's/^/  stderr: /' "$work/err.log"
fi
unset QUORVANE_DEMO_LOG

(cd "$work/empty" && nodisplay timeout 60 ./quorvane /NOGUI >"$work/out.log" 2>"$work/err.log")
rc=$?
if [[ $rc -eq 1 ]] && grep -qx 'Application Error:' "$work/err.log"; then
  pass "windowless run without configuration and display: the failure report on stderr, exit code 1"
else fail "windowless run without configuration and display: exit code $rc"; sed 's/^/  stderr: /' "$work/err.log"; fi

# quorvane-check needs no display: without one, or with a platform that cannot start, it finds
# what it finds with one.
(cd "$work" && timeout 60 "$checker" disc >"$work/check-display.log" 2>/dev/null)
rc_display=$?
for how in "nodisplay" "nodisplay DISPLAY=:$absent QT_QPA_PLATFORM=xcb"; do
  # shellcheck disable=SC2086
  (cd "$work" && $how timeout 60 "$checker" disc >"$work/check.log" 2>/dev/null)
  rc=$?
  if [[ $rc -eq $rc_display && -s "$work/check.log" ]] && cmp -s "$work/check-display.log" "$work/check.log"; then
    pass "quorvane-check without a display ($how) finds what it finds with one (exit code $rc)"
  else fail "quorvane-check without a display ($how): exit code $rc (with one: $rc_display)"; diff "$work/check-display.log" "$work/check.log" | head; fi
done

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
