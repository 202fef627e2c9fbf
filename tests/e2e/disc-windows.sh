#!/usr/bin/env bash
# The disc for both systems: make-disc.sh turns the demo disc (with its Windows programs) into one
# image. Windows reads its Joliet tree: extracted and mapped as a CD-ROM drive in a Wine prefix of
# the test's own, quorvane.exe /NOGUI started from it asks for the codec, installs it, waits, and
# starts the Windows stand-in player on the main file, writing nothing on the disc. Linux reads its
# Rock Ridge tree: the disc's autorun does the same with the Linux launcher.
# Usage: disc-windows.sh <Windows build folder> <source folder>
set -uo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)

# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"
export QV_WINE_GRAPHICS=x11
# shellcheck source=scripts/wine-env.sh
source "$src/scripts/wine-env.sh" "$build/disc-e2e" >/dev/null

snapshot() { (cd "$1" && find . -printf '%p %y %s %T@\n' | sort && find . -type f -exec sha256sum {} + | sort); }

# 0. The image.
cp -r "$src/examples/demo-disc" "$work/demo"
cp -r "$build/demo-programs/." "$work/demo/"
iso="$work/demo.iso"
if ! "$src/scripts/make-disc.sh" --label DEMO "$work/demo" "$iso" >"$work/make-disc.log" 2>&1; then
  sed 's/^/  make-disc: /' "$work/make-disc.log"
  fail "make-disc.sh could not make the image"
  echo "$passes passed, $failures failed"
  exit 1
fi
grep -E 'Windows launcher|launcher folder|disc image' "$work/make-disc.log"
joliet=$(xorriso -read_fs norock -indev "$iso" -lsl / 2>/dev/null)
rr=$(xorriso -indev "$iso" -lsl / 2>/dev/null)
if [[ "$joliet" == *"'quorvane.exe'"* && "$joliet" == *"'autorun.inf'"* && "$joliet" != *".launcher"* &&
  "$joliet" != *"'autorun'"* && "$joliet" != *"'quorvane'"* && "$joliet" != *"quorvane.desktop"* &&
  "$rr" == *"'.launcher'"* && "$rr" == *"'autorun'"* && "$rr" == *"'quorvane.exe'"* ]]; then
  pass "Windows sees quorvane.exe and autorun.inf without the Linux launcher's parts; Linux sees both"
else fail "the image's trees: Joliet: $joliet; Rock Ridge: $rr"; fi

# 1. Windows: the Joliet tree as drive D:, a CD-ROM.
xorriso -read_fs norock -osirrox on -indev "$iso" -extract / "$work/joliet" >/dev/null 2>&1
inf=$(tr -d '\r' <"$work/joliet/autorun.inf" 2>/dev/null)
if [[ "$inf" == *$'\nopen=quorvane.exe\n'* && "$inf" == *"icon=autorun.ico"* && "$inf" == *"label=DEMO"* ]]; then
  pass "autorun.inf opens quorvane.exe with the disc's icon and label"
else fail "autorun.inf: $inf"; fi
if [[ -n "$(find "$work/joliet" -name '*.sh')" ]]; then fail "Windows sees shell scripts: $(cd "$work/joliet" && find . -name '*.sh')"
else pass "Windows sees no shell scripts, so the definitions' .NT twins name its programs"; fi
rm -f "$WINEPREFIX/dosdevices/d:"
ln -s "$work/joliet" "$WINEPREFIX/dosdevices/d:"
wine reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null 2>&1
snapshot "$work/joliet" >"$work/before"
export QUORVANE_DEMO_LOG
QUORVANE_DEMO_LOG=$(winepath -w "$work/demo.log")
# Started as the system's autorun starts it: in the root of the disc's drive.
(cd "$work/joliet" && exec wine 'D:\quorvane.exe' /NOGUI >"$work/program.log" 2>&1) &
pid=$!
if box=$(wait_window '^Quorvane \+$' 600); then
  press "$box" Return
  wait "$pid"; rc=$?
  for _ in $(seq 100); do grep -q "player ran" "$work/demo.log" 2>/dev/null && break; sleep 0.1; done
  log=$(tr -d '\r' <"$work/demo.log" 2>/dev/null)
  if [[ $rc -eq 0 && "$log" == *"codec installer finished"*"player ran in D:\\"*"arg: --play"*"arg: D:"*"Video\\feature.avi"* ]]; then
    pass "quorvane.exe /NOGUI from the CD-ROM drive installs, waits and starts the player on the main file"
  else fail "quorvane.exe /NOGUI from drive D: exit code $rc, run log: $log"; fi
else
  fail "no install question from quorvane.exe /NOGUI on drive D:"
  kill "$pid" 2>/dev/null
fi
snapshot "$work/joliet" >"$work/after"
if cmp -s "$work/before" "$work/after"; then pass "nothing was written on the Windows disc"
else fail "the Windows disc changed: $(diff "$work/before" "$work/after" | grep '^[<>]' | head -n5)"; fi

# 2. Linux: the Rock Ridge tree, started through the disc's autorun.
xorriso -osirrox on -indev "$iso" -extract / "$work/rr" >/dev/null 2>&1
snapshot "$work/rr" >"$work/before"
rm -f "$work/demo.log"
QUORVANE_DEMO_LOG="$work/demo.log"
(cd / && exec "$work/rr/autorun" /NOGUI >"$work/program.log" 2>&1) &
pid=$!
if box=$(wait_window '^Quorvane \+$' 600); then
  press "$box" Return
  wait "$pid"; rc=$?
  for _ in $(seq 100); do grep -q '^arg: ' "$work/demo.log" 2>/dev/null && break; sleep 0.1; done
  log=$(cat "$work/demo.log" 2>/dev/null)
  if [[ $rc -eq 0 && "$log" == *"player ran in $work/rr"$'\n'"arg: --play"$'\n'"arg: $work/rr/Video/feature.avi"* ]]; then
    pass "the same image's autorun /NOGUI on Linux starts the shell stand-in player on the main file"
  else fail "autorun /NOGUI on Linux: exit code $rc, run log: $log"; fi
else
  fail "no install question from the Linux autorun /NOGUI"
  kill "$pid" 2>/dev/null
fi
snapshot "$work/rr" >"$work/after"
if cmp -s "$work/before" "$work/after"; then pass "nothing was written on the Linux disc"
else fail "the Linux disc changed: $(diff "$work/before" "$work/after" | grep '^[<>]' | head -n5)"; fi

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
