#!/usr/bin/env bash
# End-to-end test of a finished disc: make-disc.sh turns the demo disc into an image, which is
# mounted read-only in a private mount namespace where the system's Qt libraries are hidden; the
# disc's autorun must then show the same window as the installed build, run the windowless
# feature, and leave the disc as it was.
# Usage: disc-image.sh <installed quorvane executable> <source folder>
# Exit code 77 (skipped) where the machine cannot make mount namespaces or mounts.
set -uo pipefail
exe=$1
src=$2

if [[ "${3:-}" != --inside ]]; then
  if ! unshare -m --propagation private true 2>/dev/null; then
    echo "SKIP: this machine cannot create a private mount namespace (unshare -m needs root)"
    exit 77
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # A blank in the image's path: no file name may become shell syntax on the way.
  if ! "$src/scripts/make-disc.sh" --label DEMO "$src/examples/demo-disc" "$work/demo disc.iso" >"$work/make-disc.log" 2>&1; then
    sed 's/^/  make-disc: /' "$work/make-disc.log"
    echo "FAIL: make-disc.sh could not make the demo disc's image"
    echo "0 passed, 1 failed"
    exit 1
  fi
  grep -E 'launcher folder|disc image' "$work/make-disc.log"
  unshare -m --propagation private "$0" "$exe" "$src" --inside "$work"
  exit $?
fi

# ---- Inside the private mount namespace --------------------------------------------------------
work=$4
iso="$work/demo disc.iso"
disc="$work/mounted disc"
failures=0
passes=0
pass() { echo "PASS: $1"; passes=$((passes + 1)); }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
  [[ -s "$work/program.log" ]] && sed 's/^/  program: /' "$work/program.log"
}

# The image mounted read-only; where loop devices or the ISO file system are missing, its files
# extracted by xorriso and bind-mounted read-only instead.
mkdir -p "$disc"
if mount -o loop,ro "$iso" "$disc" 2>/dev/null; then
  echo "the image is loop-mounted read-only"
else
  xorriso -osirrox on -indev "$iso" -extract / "$work/extracted" >/dev/null 2>&1 &&
    mount --bind "$work/extracted" "$disc" &&
    mount -o remount,bind,ro "$disc" ||
    { echo "SKIP: neither a loop mount of the image nor a read-only bind mount is possible here"; exit 77; }
  echo "the image's files are extracted and bind-mounted read-only"
fi
if touch "$disc/written" 2>/dev/null; then
  echo "SKIP: the disc mount is not read-only"
  exit 77
fi
# 0. The image itself: its label, the Rock Ridge run bits and link, a Joliet tree with long names.
volume=$(xorriso -indev "$iso" -pvd_info 2>/dev/null | sed -n "s/^Volume Id *: //p")
joliet=$(xorriso -rockridge off -joliet on -indev "$iso" -lsd '/Video/*' 2>/dev/null)
if [[ "$volume" == DEMO && -x "$disc/autorun" && -x "$disc/Players/demoplayer.sh" &&
  "$(readlink "$disc/quorvane")" == .launcher/quorvane && -s "$disc/.DirIcon" &&
  "$joliet" == *"'/Video/trailer with spaces.avi'"* ]]; then
  pass "the image is labelled DEMO, keeps the run bits and the launcher's link, and has Joliet names"
else
  fail "the image: label \"$volume\", $(ls -la "$disc" | tr '\n' ' '), Joliet: $joliet"
fi

snapshot() {
  (cd "$disc" && find . -printf '%p %y %m %s %T@ %l\n' | sort && find . -type f -exec sha256sum {} + | sort)
}
snapshot >"$work/before"

# Xvfb picks a free display itself and tells which.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

wait_window() {
  for _ in $(seq "${2:-1000}"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    if [[ -n "$id" ]]; then echo "$id"; return 0; fi
    sleep 0.01
  done
  return 1
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Starts a launcher (the command line after the first argument) in the folder given first, waits
# for its main window, and leaves the window's picture in $work/$name.png, its size in $size, its
# title in $title and the time to the window in $startup (milliseconds).
shoot() {
  local name=$1 folder=$2 start pid win
  shift 2
  xdotool mousemove 0 0
  start=$(now_ms)
  (cd "$folder" && exec "$@" >"$work/program.log" 2>&1) &
  pid=$!
  if ! win=$(wait_window '^Quorvane \+ v'); then
    kill "$pid" 2>/dev/null
    return 1
  fi
  startup=$(($(now_ms) - start))
  sleep 1
  title=$(xdotool getwindowname "$win")
  eval "$(xdotool getwindowgeometry --shell "$win")"
  size="${WIDTH}x${HEIGHT}"
  import -window "$win" "$work/$name.png"
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

# 1. The installed build on the same disc files, before anything is hidden: the reference picture.
#    Its INI file is the disc's, its working folder the disc's root.
mkdir "$work/installed"
ln -s "$exe" "$work/installed/quorvane"
ln -s "$disc/quorvane.ini" "$work/installed/quorvane.ini"
installed_ok=0
if shoot installed "$disc" "$work/installed/quorvane"; then
  installed_ok=1
  installed_size=$size installed_startup=$startup
else
  fail "the installed build showed no window on the disc"
fi

# 2. Hide the system's Qt libraries and plugins: an empty file or folder is bound over each. (The
#    disc's other libraries stay visible: Xvfb, xdotool and ImageMagick need some of them.)
qt_core=$(ldd "$exe" | awk '$1 == "libQt6Core.so.6" { print $3 }')
libdir=$(dirname "$(readlink -f "$qt_core")")
plugin_dir=$(qtpaths6 --query QT_INSTALL_PLUGINS)
: >"$work/empty-file"
mkdir "$work/empty-folder"
hidden=0
for lib in "$libdir"/libQt6*.so*; do
  [[ -f "$lib" && ! -L "$lib" ]] || continue
  mount --bind "$work/empty-file" "$lib" && hidden=$((hidden + 1))
done
mount --bind "$work/empty-folder" "$plugin_dir"
(cd "$work/installed" && ./quorvane /NOGUI >"$work/program.log" 2>&1)
rc=$?
if [[ $rc -eq 127 ]]; then pass "the system's Qt is hidden: the installed build cannot start ($hidden Qt libraries hidden)"
else fail "the installed build still starts with Qt hidden (exit code $rc)"; fi

# 3. The disc's autorun, started from another folder, with Qt hidden: the same window as the
#    installed build, pixel for pixel.
if shoot packed / "$disc/autorun"; then
  if [[ "$title" =~ ^Quorvane\ \+\ v1\.[0-9]+\.[0-9]+\.[0-9]+\ by\ Velk$ ]]; then pass "autorun from the read-only disc opens the main window ($title)"
  else fail "autorun's window title: $title"; fi
  if ((installed_ok)); then
    if [[ "$size" == "$installed_size" ]]; then
      differing=$(compare -metric AE -fuzz 1% "$work/installed.png" "$work/packed.png" null: 2>&1)
      differing=${differing%% *}
      pixels=$((${size%x*} * ${size#*x}))
      if [[ "$differing" =~ ^[0-9]+$ ]] && ((differing * 2000 <= pixels)); then
        pass "the packed launcher's window equals the installed build's ($size, $differing of $pixels pixels differ)"
      else
        fail "the packed launcher's window differs from the installed build's: $differing of $pixels pixels"
        cp "$work/installed.png" "$work/packed.png" "${QV_E2E_SHOTS:-/tmp}/" 2>/dev/null
      fi
    else
      fail "window size $size from the disc, $installed_size from the installed build"
    fi
    echo "start-up to the first window: installed build ${installed_startup} ms, disc autorun ${startup} ms"
  fi
else
  fail "autorun showed no main window with Qt hidden"
fi

# 4. The windowless run through autorun: the codec question, then the disc's player on the main
#    file, in the disc's folder.
export QUORVANE_DEMO_LOG="$work/demo.log"
(cd / && exec "$disc/autorun" /NOGUI >"$work/program.log" 2>&1) &
pid=$!
if box=$(wait_window '^Quorvane \+$'); then
  xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box"
  sleep 0.2
  xdotool key Return
  wait "$pid"; rc=$?
  # The player is started without waiting for it: give it a moment to write its lines.
  for _ in $(seq 50); do grep -q '^arg: ' "$QUORVANE_DEMO_LOG" 2>/dev/null && break; sleep 0.1; done
  log=$(cat "$QUORVANE_DEMO_LOG" 2>/dev/null)
  # A native player is handed the main file as the path it has on the disc.
  if [[ $rc -eq 0 && "$log" == *"player ran in $disc"$'\n'"arg: --play"$'\n'"arg: $disc/Video/feature.avi"* ]]; then
    pass "autorun /NOGUI starts the disc's player on the main file"
  else fail "autorun /NOGUI: exit code $rc, run log: $log"; fi
else
  fail "no install question in the windowless run from the disc"
  kill "$pid" 2>/dev/null
fi

# 5. Nothing was written on the disc.
snapshot >"$work/after"
if cmp -s "$work/before" "$work/after"; then pass "the disc is unchanged"
else fail "the disc changed: $(diff "$work/before" "$work/after" | head -n5)"; fi

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
