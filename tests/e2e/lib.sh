# What the end-to-end tests of the launcher share; sourced after $work is made:
#   source tests/e2e/lib.sh
# Starts Xvfb (DISPLAY is set to it; it ends with the script, and $work is removed then) and
# gives the checks: pass, fail, wait_window, press, count_colour, screen_rgb, file_rgb.
failures=${failures:-0}
passes=${passes:-0}

# Xvfb picks a free display itself and tells which, so parallel or leftover servers never clash.
# Without -noreset the server resets when its last client leaves, and a program that connects
# during the reset (the next step's launcher) is refused the display.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

pass() { echo "PASS: $1"; passes=$((passes + 1)); }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
  [[ -s "$work/program.log" ]] && sed 's/^/  program: /' "$work/program.log"
  xdotool search --name '.' getwindowname %@ 2>/dev/null | sed 's/^/  window: /'
}

# Waits up to $2 tenths of a second for a window whose title matches $1; prints its id.
wait_window() {
  for _ in $(seq "${2:-100}"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    if [[ -n "$id" ]]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}

# Presses a key in the window (the boxes' default buttons answer Return). The key goes through the
# server's own input, not as an event sent to the window: a box closes on the press, and a release
# sent to its window after that is lost, which leaves the key held down on the server (repeating
# into the next box and hiding every tooltip).
press() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.2
  xdotool key "$2"
}

# Counts the pixels of one colour (#RRGGBB) in a region WxH+X+Y of the screen.
count_colour() {
  import -window root -crop "$2" png:- 2>/dev/null |
    convert png:- -fill black +opaque "$1" -fill white -opaque "$1" -format '%[fx:mean*w*h]' info: 2>/dev/null |
    cut -d. -f1
}

# The red, green and blue of one pixel: of the screen at X Y, or of a picture file at X Y.
screen_rgb() {
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | tail -n1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}
file_rgb() {
  convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null | tail -n1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}

