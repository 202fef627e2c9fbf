# Prepares Wine for running the Windows build's programs; meant to be sourced:
#   source scripts/wine-env.sh <build-dir>
# Uses its own prefix <build-dir>/wine-prefix (never ~/.wine), creates it when missing, without a
# display, and starts one persistent wineserver for the caller's run so that every test program does
# not pay for a server start of its own. The server stops when the sourcing shell exits (an EXIT
# trap, added to any the caller has set) or when the caller runs qv_wine_stop.
# QV_WINE_PERSIST=0 skips the persistent server. QV_WINE_GRAPHICS chooses Wine's display driver:
# "null" (the default when DISPLAY is unset) or "x11" (the default otherwise, e.g. under Xvfb).

if [[ $# -lt 1 || -z "$1" ]]; then
  echo "usage: source scripts/wine-env.sh <build-dir>" >&2
  return 2 2>/dev/null || exit 2
fi

if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  echo "wine-env.sh: Wine is not installed (scripts/windows-deps.sh installs it)" >&2
  return 1 2>/dev/null || exit 1
fi

qv_wine_build_dir=$(mkdir -p "$1" && CDPATH= cd -- "$1" && pwd) || return 1
export WINEPREFIX="$qv_wine_build_dir/wine-prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# Without the first two Wine offers, in a dialog, to download its .NET and HTML engines at the first
# start; the menu builder would write desktop menu entries into the user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

qv_wine_now() { date +%s.%N; }

if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  qv_wine_t0=$(qv_wine_now)
  mkdir -p "$WINEPREFIX"
  # Without a display wineboot still completes; only its progress window is not shown.
  if ! wineboot -i >"$qv_wine_build_dir/wine-prefix.log" 2>&1 || ! wineserver -w; then
    cat "$qv_wine_build_dir/wine-prefix.log" >&2
    echo "wineboot could not create $WINEPREFIX" >&2
    return 1 2>/dev/null || exit 1
  fi
  awk -v a="$qv_wine_t0" -v b="$(qv_wine_now)" -v p="$WINEPREFIX" \
    'BEGIN { printf "Wine prefix %s created in %.1f s\n", p, b - a }'
  unset qv_wine_t0
fi

# Wine's own fonts (Tahoma, MS Sans Serif, Marlett, Symbol, the system bitmap fonts) come with the
# package fonts-wine; in the prefix's Fonts folder they resolve by face name as on Windows.
qv_wine_fonts="$WINEPREFIX/drive_c/windows/Fonts"
for qv_wine_font in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon; do
  [[ -f "$qv_wine_font" ]] || continue
  if [[ ! -f "$qv_wine_fonts/${qv_wine_font##*/}" ]]; then
    mkdir -p "$qv_wine_fonts"
    cp "$qv_wine_font" "$qv_wine_fonts/"
  fi
done
[[ -f "$qv_wine_fonts/marlett.ttf" ]] ||
  echo "wine-env.sh: Wine's fonts are missing (package fonts-wine; scripts/windows-deps.sh installs it)" >&2
unset qv_wine_font qv_wine_fonts

qv_wine_stop() {
  if [[ -n "${qv_wine_server_started:-}" ]]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    unset qv_wine_server_started
  fi
}

if [[ "${QV_WINE_PERSIST:-1}" != 0 && -z "${qv_wine_server_started:-}" ]]; then
  # wineserver -p fails with status 2 when a server runs for this prefix already (another run in the
  # same build folder, or one left by a killed run); that one is used and left alone.
  if wineserver -p 2>/dev/null; then
    qv_wine_server_started=1
    # The first program of a server's life starts Wine's own services (a second or more). Started
    # here they do not count against the first test's time, nor hold that test's output pipe open.
    wine hostname </dev/null >/dev/null 2>&1 || true
    # `trap -p` prints the caller's trap quoted for the shell; the function unquotes it.
    qv_wine_old_trap=$(trap -p EXIT)
    qv_wine_trap_body() { eval "set -- $1"; printf '%s' "${3:-}"; }
    qv_wine_old_trap=$(qv_wine_trap_body "$qv_wine_old_trap")
    unset -f qv_wine_trap_body
    # shellcheck disable=SC2064
    trap "qv_wine_stop${qv_wine_old_trap:+; $qv_wine_old_trap}" EXIT
    unset qv_wine_old_trap
  else
    echo "wine-env.sh: a wineserver runs for $WINEPREFIX already; using it" >&2
  fi
fi

# Wine's X11 driver needs a display; without one Wine falls back to a driver on which creating a
# window fails, unless the null driver is chosen outright, which draws into memory only. The choice
# is written to the prefix's registry only when it changes, since that costs half a second.
qv_wine_graphics=${QV_WINE_GRAPHICS:-}
if [[ -z "$qv_wine_graphics" ]]; then
  if [[ -n "${DISPLAY:-}" ]]; then qv_wine_graphics=x11; else qv_wine_graphics=null; fi
fi
if [[ "$(cat "$WINEPREFIX/.qv-graphics" 2>/dev/null)" != "$qv_wine_graphics" ]]; then
  if wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$qv_wine_graphics" /f \
    </dev/null >/dev/null 2>&1; then
    echo "$qv_wine_graphics" >"$WINEPREFIX/.qv-graphics"
  else
    echo "wine-env.sh: could not choose Wine's $qv_wine_graphics display driver" >&2
  fi
fi
unset qv_wine_graphics
