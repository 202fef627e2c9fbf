#!/usr/bin/env bash
# End-to-end test of the picture-controls example under Xvfb: composed colours on the screen,
# hover, a drag off a pressed picture, clicks, double clicks, Tab, and picture B dragged on its
# 10-pixel grid and moved with an arrow key, taking picture C along; and its start without a display.
# Usage: picture-controls.sh <picture-controls executable>
set -uo pipefail
exe=$1
work=$(mktemp -d)
failures=0
passes=0

cleanup() {
  [[ -n "${pid:-}" ]] && kill "$pid" 2>/dev/null
  [[ -n "${xvfb:-}" ]] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT
# Servers started at the same moment by other test runs can race for one display number: a
# server that cannot be reached is replaced by a fresh one.
for attempt in 1 2 3; do
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$work/display" 2>/dev/null)"
  reachable=""
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && { reachable=1; break; }; sleep 0.1; done
  [[ -n "$reachable" ]] && break
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; xvfb=""
done
if [[ -z "$reachable" ]]; then echo "FAIL: no X server could be started"; exit 1; fi

pass() { echo "PASS: $1"; passes=$((passes + 1)); }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
  [[ -s "$work/events.log" ]] && sed 's/^/  event: /' "$work/events.log"
}

# The colours the example paints (0xRRGGBB) and the channel blend of the picture library:
# ((s * a + d * (255 - a)) div 256) + 1 below opacity 255, a plain copy at 255.
tile_dark=0x2A3F55 tile_light=0x35506A colour_a=0xD04020 colour_b=0x20A0E0 colour_c=0x40E060
blend() {  # source, destination, opacity -> colour
  local s=$1 d=$2 a=$3 out=0 shift c
  if [[ $a -eq 255 ]]; then echo "$s"; return; fi
  for shift in 0 8 16; do
    c=$(( ((((s >> shift) & 255) * a + ((d >> shift) & 255) * (255 - a)) / 256) + 1 ))
    out=$(( out | (c << shift) ))
  done
  echo "$out"
}
tile() {  # x, y in the container -> the checkerboard's colour there
  if (( ($1 / 20 + $2 / 20) % 2 == 0 )); then echo $((tile_dark)); else echo $((tile_light)); fi
}
# Compares the screenshot's pixel at container point (x, y) with a colour, each channel within 2.
check_pixel() {
  local what=$1 x=$2 y=$3 expected=$4 got r g b er eg eb
  got=$(convert "$work/shot.png" -format "%[fx:int(255*p{$((X + x)),$((Y + y))}.r+0.5)] %[fx:int(255*p{$((X + x)),$((Y + y))}.g+0.5)] %[fx:int(255*p{$((X + x)),$((Y + y))}.b+0.5)]" info: 2>/dev/null)
  read -r r g b <<<"$got"
  er=$(( (expected >> 16) & 255 )) eg=$(( (expected >> 8) & 255 )) eb=$(( expected & 255 ))
  if [[ -n "${b:-}" ]] && (( ${r#-} - er <= 2 && er - r <= 2 && g - eg <= 2 && eg - g <= 2 && b - eb <= 2 && eb - b <= 2 )); then
    pass "$what at ($x,$y): $r $g $b"
  else
    fail "$what at ($x,$y): got ${got:-nothing}, expected $er $eg $eb"
  fi
}
# Waits up to two seconds for the event log to hold a line; false when it never does.
wait_event() {
  for _ in $(seq 20); do grep -qx "$1" "$work/events.log" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

export QV_EXAMPLE_LOG="$work/events.log"
"$exe" >"$work/program.log" 2>&1 &
pid=$!
win=""
for _ in $(seq 600); do
  win=$(xdotool search --onlyvisible --name '^Picture controls$' 2>/dev/null | head -n1)
  [[ -n "$win" ]] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [[ -z "$win" ]]; then
  if kill -0 "$pid" 2>/dev/null; then fail "the example's window did not appear"
  else wait "$pid"; fail "the example ended with exit code $? before its window appeared"; pid=""; fi
  sed 's/^/  program: /' "$work/program.log"
  echo "$passes passed, $failures failed"
  exit 1
fi
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
# Parks the pointer off the window, so that nothing is hot, and takes a screenshot.
screenshot() {
  xdotool mousemove 1 1
  sleep 0.3
  import -window root "$work/shot.png"
  cp "$work/shot.png" "${QV_E2E_SHOTS:-/tmp}/picture-controls-e2e$1.png" 2>/dev/null
}
screenshot ""

# 1. Composition: A (255) at (30,40) 200x150, B (128) at (150,110) 200x150, C (60) turned by 30
#    degrees around the centre (344,233) of its 189x167 box at (250,150), over the tiles.
check_pixel "background tile" 10 10 "$(tile 10 10)"
check_pixel "background tile" 30 10 "$(tile 30 10)"
check_pixel "picture A alone" 60 80 $((colour_a))
check_pixel "B at 128 over A" 190 150 "$(blend $((colour_b)) $((colour_a)) 128)"
check_pixel "B at 128 over the tiles" 300 140 "$(blend $((colour_b)) "$(tile 300 140)" 128)"
check_pixel "C at 60 over B over the tiles" 344 233 "$(blend $((colour_c)) "$(blend $((colour_b)) "$(tile 344 233)" 128)" 60)"
check_pixel "C at 60 over the tiles" 410 233 "$(blend $((colour_c)) "$(tile 410 233)" 60)"
# Corners of C's box that the turned picture leaves uncovered.
check_pixel "tiles in a corner of C's box" 432 300 "$(tile 432 300)"
check_pixel "B in a corner of C's box" 256 156 "$(blend $((colour_b)) "$(tile 256 156)" 128)"

# 2. Hover raises OnMouseEnter of the picture under the pointer.
xdotool mousemove $((X + 60)) $((Y + 80))
if wait_event "enter A"; then pass "pointing at A raises its OnMouseEnter"
else fail "no \"enter A\" after pointing at A"; fi

# The hint of A shows as a tooltip: a small window of the program's near the pointer.
tip=""
for _ in $(seq 30); do
  for w in $(xdotool search --onlyvisible --pid "$pid" --name '' 2>/dev/null); do
    [[ "$w" == "$win" ]] && continue
    eval "$(xdotool getwindowgeometry --shell "$w" | sed 's/^/TIP_/')"
    if (( TIP_X >= X + 40 && TIP_X <= X + 120 && TIP_Y >= Y + 80 && TIP_Y <= Y + 130 && TIP_HEIGHT < 60 )); then tip=$w; fi
  done
  [[ -n "$tip" ]] && break
  sleep 0.1
done
if [[ -n "$tip" ]]; then pass "resting on A shows its hint as a tooltip"
else fail "no tooltip near the pointer resting on A"; fi

# 3. A drag off A with the button held keeps A hot: no leave until the pointer enters and leaves
#    A again after the release.
xdotool mousedown 1
sleep 0.3
xdotool mousemove $((X + 10)) $((Y + 300))
sleep 0.5
if grep -qx "leave A" "$work/events.log"; then fail "A left while the button was held on it"
else pass "A stays hot while the button is held and the pointer is off it"; fi
xdotool mouseup 1
sleep 0.5
if grep -qx "leave A" "$work/events.log"; then fail "A left at the release although it held the capture"
else pass "a release off A does not end its hot state"; fi
if grep -qx "click A" "$work/events.log"; then fail "a release off A clicked it"
else pass "a release off A does not click it"; fi
xdotool mousemove $((X + 60)) $((Y + 80))
sleep 0.3
xdotool mousemove $((X + 10)) $((Y + 300))
if wait_event "leave A"; then pass "A leaves once the pointer enters and leaves it again"
else fail "no \"leave A\" after the pointer entered and left A again"; fi

# 4. A click and a double click on B, then Tab walks the tab order B -> C -> A.
xdotool mousemove $((X + 300)) $((Y + 140)) click --repeat 2 --delay 80 1
if wait_event "click B" && wait_event "dblclick B" && wait_event "focus B"; then
  pass "clicking B clicks it, focuses it, and a double click reaches OnDblClick"
else fail "no click, double click or focus of B"; fi
: >"$work/events.log"
xdotool key Tab
sleep 0.3
xdotool key Tab
if wait_event "focus A" && [[ "$(grep '^focus' "$work/events.log" | tr '\n' ' ')" == "focus C focus A " ]]; then
  pass "Tab moves the keyboard from B to C to A"
else fail "Tab did not walk B, C, A"; fi

# 5. B drags on a 10-pixel grid: pressed at (300,140) and dragged by (63,47) in two moves, it
#    lands 60 right and 40 down at (210,150), and its child C (turned, centre (344,233)) with it.
#    The press clicks B and gives it the keyboard, so it stays lit at opacity 200 once the pointer
#    is gone; A beneath stays where it was.
: >"$work/events.log"
xdotool mousemove $((X + 300)) $((Y + 140))
sleep 0.3
xdotool mousedown 1
sleep 0.2
xdotool mousemove $((X + 330)) $((Y + 160))
sleep 0.2
xdotool mousemove $((X + 363)) $((Y + 187))
sleep 0.2
xdotool mouseup 1
if wait_event "focus B"; then pass "pressing B gives it the keyboard"
else fail "no \"focus B\" after the drag"; fi
screenshot "-dragged"
bt() { blend $((colour_b)) "$(tile "$1" "$2")" 200; }  # B lit over the tiles at (x, y)
check_pixel "A alone where B covered it" 190 150 $((colour_a))
check_pixel "B at 200 over A" 220 160 "$(blend $((colour_b)) $((colour_a)) 200)"
check_pixel "B at 200 over the tiles" 260 200 "$(bt 260 200)"
check_pixel "tiles where B was" 160 250 "$(tile 160 250)"
# B's edges on the grid: left at 210, top at 150, right at 409 (unsnapped it would be 213, 157, 412).
check_pixel "B's left edge on the grid" 210 160 "$(blend $((colour_b)) $((colour_a)) 200)"
check_pixel "B's top edge on the grid" 260 150 "$(bt 260 150)"
check_pixel "tiles past B's right edge" 411 175 "$(tile 411 175)"
check_pixel "B alone where C was" 300 233 "$(bt 300 233)"
check_pixel "C at 60 over B at its new centre" 404 273 "$(blend $((colour_c)) "$(bt 404 273)" 60)"
check_pixel "C at 60 over the tiles right of B" 470 273 "$(blend $((colour_c)) "$(tile 470 273)" 60)"

# 6. The arrow key moves B, which has the keyboard, by the grid: 10 right, C along.
xdotool key Right
sleep 0.3
screenshot "-key"
check_pixel "A alone where B's left edge was" 215 160 $((colour_a))
check_pixel "B at 200 over the tiles past its old right edge" 415 180 "$(bt 415 180)"
check_pixel "C at 60 over B at its new centre" 414 273 "$(blend $((colour_c)) "$(bt 414 273)" 60)"

kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
pid=""

# 7. Without a display the example cannot show its window: exit code 1 and one line, no abort.
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE -u QT_QPA_PLATFORM -u QV_EXAMPLE_LOG \
  timeout 60 "$exe" >"$work/out.log" 2>"$work/err.log")
rc=$?
if [[ $rc -eq 1 && ! -s "$work/out.log" ]] &&
   [[ "$(cat "$work/err.log")" == "$(basename "$exe"): cannot open a display (DISPLAY and WAYLAND_DISPLAY are not set)" ]]; then
  pass "without a display: exit code 1 and one line"
else fail "without a display: exit code $rc, stderr: $(cat "$work/err.log")"; fi
echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
