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

# The demo disc's main window, its client area at $X, $Y: the menu lines, a hovered line lighting
# up and fading back, the inside cover at its opacity over black, a click's information in the
# notes panel, the front cover drawn, and double clicks switching to the back cover and back.
# Leaves $inside (the inside cover's left) for the caller. Needs $src and $work.
check_demo_window() {
  inside=$((X + 362))
  grey=$(count_colour '#808080' "320x300+$((inside + 14))+$((Y + 1))")
  if [[ ${grey:-0} -gt 100 ]]; then pass "demo window shows its menu lines ($grey grey pixels)"
  else fail "demo window shows no menu text (grey pixels: ${grey:-0})"; fi
  xdotool mousemove $((inside + 14 + 160)) $((Y + 2 + 100 + 16))
  sleep 0.3
  white=$(count_colour '#FFFFFF' "320x32+$((inside + 14))+$((Y + 102))")
  if [[ ${white:-0} -gt 50 ]]; then pass "hovered menu line lights up ($white white pixels)"
  else fail "hovered menu line did not light up (white pixels: ${white:-0})"; fi
  xdotool mousemove $((inside + 14 + 160)) $((Y + 2 + 300))
  sleep 0.8
  white=$(count_colour '#FFFFFF' "320x32+$((inside + 14))+$((Y + 102))")
  if [[ ${white:-0} -lt 5 ]]; then pass "menu line fades back after the pointer leaves"
  else fail "menu line still lit after the fade ($white white pixels)"; fi

  read -r pr pg pb < <(file_rgb "$src/examples/demo-disc/Covers/inside.bmp" 170 318)
  read -r sr sg sb < <(screen_rgb $((X + 362 + 170)) $((Y + 2 + 318)))
  within() { local want=$(($1 * 192 / 255)); ((${2:-999} >= want - 2 && ${2:-999} <= want + 2)); }
  if within "$pr" "$sr" && within "$pg" "$sg" && within "$pb" "$sb"; then
    pass "the inside cover is composed at its opacity over black ($sr,$sg,$sb from $pr,$pg,$pb)"
  else fail "inside cover pixel: $sr,$sg,$sb on the screen from $pr,$pg,$pb in the picture"; fi

  notes_region="320x130+$((X + 362 + 8))+$((Y + 2 + 330))"
  import -window root -crop "$notes_region" "$work/notes0.png"
  xdotool mousemove $((inside + 14 + 160)) $((Y + 2 + 60 + 16)) click 1
  sleep 0.8
  import -window root -crop "$notes_region" "$work/notes1.png"
  shown=$(compare -metric AE "$work/notes0.png" "$work/notes1.png" null: 2>&1 | cut -d' ' -f1)
  if [[ ${shown:-0} -gt 500 ]]; then pass "a click on a menu line shows its information ($shown pixels changed)"
  else fail "the notes panel did not change after a click (${shown:-0} pixels)"; fi

  front_region="300x400+$((X + 20))+$((Y + 30))"
  light=$(import -window root -crop "$front_region" png:- 2>/dev/null |
    convert png:- -colorspace gray -format '%[fx:int(mean*1000)]' info: 2>/dev/null)
  if [[ ${light:-0} -gt 20 ]]; then pass "the front cover is drawn (mean brightness $light/1000)"
  else fail "the front cover panel is black (mean brightness ${light:-?}/1000)"; fi
  xdotool mousemove $((X + 800)) $((Y + 600))
  sleep 0.5
  import -window root -crop "$front_region" "$work/front1.png"
  xdotool mousemove $((X + 170)) $((Y + 200)) click --repeat 2 --delay 80 1
  sleep 0.7
  # Away from the cover, and long enough for the hint that the rest there may have shown to go.
  xdotool mousemove $((X + 800)) $((Y + 600))
  sleep 1
  import -window root -crop "$front_region" "$work/back.png"
  xdotool mousemove $((X + 170)) $((Y + 200)) click --repeat 2 --delay 80 1
  sleep 0.7
  xdotool mousemove $((X + 800)) $((Y + 600))
  sleep 1
  import -window root -crop "$front_region" "$work/front2.png"
  changed=$(compare -metric AE "$work/front1.png" "$work/back.png" null: 2>&1 | cut -d' ' -f1)
  restored=$(compare -metric AE "$work/front1.png" "$work/front2.png" null: 2>&1 | cut -d' ' -f1)
  if [[ ${changed:-0} -gt 10000 && ${restored:-1} -lt 100 ]]; then
    pass "double clicks switch to the back cover and back ($changed pixels changed, $restored left)"
  else fail "cover switch: $changed pixels changed, $restored differ after switching back"; fi

}
