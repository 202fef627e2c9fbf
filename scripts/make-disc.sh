#!/usr/bin/env bash
# Turns a disc folder into a disc that runs on a Linux desktop without Qt and on Windows: the
# folder's own files, the launcher (Release build) with every library it needs beyond the system's
# in one hidden folder, the autorun files and the disc icon, and, where the Windows build can be
# made, the Windows launcher NAME.exe with an autorun.inf that starts it; then an ISO 9660 image
# with Rock Ridge (what Linux reads) and Joliet (what Windows reads, without the Linux-only parts).
#
#   scripts/make-disc.sh [options] DISC-FOLDER OUTPUT.iso
#   scripts/make-disc.sh [options] --folder OUTPUT-DIR DISC-FOLDER
#
#   --label LABEL   volume label (default: the disc folder's name), at most 32 characters
#   --name NAME     the launcher's name on the disc, when the INI files at the root leave a choice
#   --no-strip      keep the symbol tables of the launcher and its libraries
#   --no-windows    leave the Windows launcher out
#
# QV_RELEASE_BUILD_DIR chooses the build folder (default build-release in the source tree),
# QV_WIN_RELEASE_BUILD_DIR the Windows one (default build-win-release). The Windows launcher is
# built where the MinGW-w64 compiler is installed (scripts/bootstrap.sh --windows).
set -euo pipefail
trap 'echo "make-disc: failed: $BASH_COMMAND (line $LINENO)" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_RELEASE_BUILD_DIR:-$root/build-release}"
system_list="$root/scripts/disc-system-libraries.txt"
# The hidden folder beside the launcher's link that holds the launcher itself and all it needs.
hidden=.launcher
# Qt plugins the disc carries, relative to Qt's plugin folder: the X11 and Wayland platforms (the
# Wayland one draws into shared memory, so no OpenGL), the offscreen platform a windowless run
# falls back to where no display can be opened, the Wayland window shell and decorations, and the
# icon reader the pictures need (bitmaps are read by Qt itself, JPEG by libjpeg).
qt_plugins=(
  platforms/libqxcb.so
  platforms/libqwayland-generic.so
  platforms/libqoffscreen.so
  wayland-shell-integration/libxdg-shell.so
  wayland-decoration-client/libbradient.so
  imageformats/libqico.so
)

die() { echo "make-disc: $*" >&2; exit 1; }
say() { echo "make-disc: $*"; }
usage() {
  sed -n '8,18s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

label="" name="" folder="" strip=1 windows=1
positional=()
while (($#)); do
  case $1 in
    --label) [[ $# -ge 2 ]] || usage; label=$2; shift 2 ;;
    --name) [[ $# -ge 2 ]] || usage; name=$2; shift 2 ;;
    --folder) [[ $# -ge 2 ]] || usage; folder=$2; shift 2 ;;
    --no-strip) strip=0; shift ;;
    --no-windows) windows=0; shift ;;
    -h | --help) usage ;;
    --) shift; positional+=("$@"); break ;;
    -*) echo "make-disc: unknown option $1" >&2; usage ;;
    *) positional+=("$1"); shift ;;
  esac
done
if [[ -n "$folder" ]]; then
  [[ ${#positional[@]} -eq 1 ]] || usage
else
  [[ ${#positional[@]} -eq 2 ]] || usage
  iso=${positional[1]}
  [[ "$iso" == /* ]] || iso="$PWD/$iso"
  [[ -d "$(dirname "$iso")" ]] || die "the folder of $iso does not exist"
fi
disc=${positional[0]}
[[ -d "$disc" ]] || die "$disc is not a folder"
disc=$(cd "$disc" && pwd)

# A link to a launcher build beside its INI file is a trial run's (run-demo.sh leaves one): it is
# not the disc's own program, and the disc gets the packed launcher in its place.
is_trial_link() {
  [[ -L "$1" ]] && [[ "$(basename "$(readlink -f "$1")")" == quorvane ]]
}

# The launcher's name: the one INI file at the root whose base name has no program beside it
# (an INI file beside a program of the same name belongs to that program).
if [[ -z "$name" ]]; then
  candidates=()
  while IFS= read -r -d '' ini; do
    base=${ini%.ini}
    [[ "${base,,}" == desktop ]] && continue  # a folder's display settings, not a launcher's
    if [[ -f "$disc/$base" && -x "$disc/$base" ]] && ! is_trial_link "$disc/$base"; then
      continue
    fi
    candidates+=("$base")
  done < <(find "$disc" -mindepth 1 -maxdepth 1 -type f -name '*.ini' -printf '%f\0' | sort -z)
  if [[ ${#candidates[@]} -eq 0 ]]; then
    die "no INI file at the root of $disc names the launcher (NAME.ini without a program NAME beside it); add one or choose with --name"
  elif [[ ${#candidates[@]} -gt 1 ]]; then
    die "several INI files at the root of $disc could name the launcher ($(printf '%s.ini ' "${candidates[@]}")); choose with --name"
  fi
  name=${candidates[0]}
else
  [[ -f "$disc/$name.ini" ]] || die "--name $name: there is no $name.ini at the root of $disc"
fi
case $name in
  "" | .* | */* | *.exe | autorun | autorun.inf | "$hidden") die "\"$name\" cannot be the launcher's name on a disc" ;;
esac

if [[ -z "$label" ]]; then label=$(basename "$disc"); fi
[[ ${#label} -le 32 ]] || die "the volume label \"$label\" is longer than 32 characters; choose one with --label"
[[ "$label" != *[[:cntrl:]]* ]] || die "the volume label holds control characters"

# ---- The Release build ---------------------------------------------------------------------
"$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
cmake --build "$build" --target quorvane quorvane-check
plugin_dir=$(qtpaths6 --query QT_INSTALL_PLUGINS)

# The Windows launcher: a static program, cross-built with the same source.
win_build="${QV_WIN_RELEASE_BUILD_DIR:-$root/build-win-release}"
if ((windows)) && ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  say "no MinGW-w64 compiler here (scripts/bootstrap.sh --windows installs it): the disc is for Linux only"
  windows=0
fi
if ((windows)); then
  win_deps="${QV_WIN_DEPS_DIR:-$root/build-win-deps}"
  QV_WIN_DEPS_WORK="$win_deps" "$root/scripts/windows-deps.sh" "$win_deps/prefix" >/dev/null
  cmake -S "$root" -B "$win_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-toolchain.cmake" \
    -DQV_WIN_DEPS_PREFIX="$win_deps/prefix" -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
  cmake --build "$win_build" --target quorvane
fi

# ---- The disc's files ------------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/make-disc.XXXXXX")
trap 'rm -rf "$work"' EXIT
if [[ -n "$folder" ]]; then
  if [[ -e "$folder" ]]; then
    [[ -d "$folder" && -z "$(ls -A "$folder")" ]] || die "$folder exists and is not an empty folder"
  fi
  mkdir -p "$folder"
  stage=$(cd "$folder" && pwd)
else
  stage="$work/disc"
  mkdir "$stage"
fi

generated=(autorun autorun.ico .DirIcon "$name.desktop" "$hidden")
((windows)) && generated+=("$name.exe")
while IFS= read -r -d '' entry; do
  if [[ "$entry" == "$name" ]] && is_trial_link "$disc/$entry"; then continue; fi
  for g in "${generated[@]}"; do
    if [[ "$entry" == "$g" ]]; then
      say "the disc folder's own $entry is replaced by a generated one"
      continue 2
    fi
  done
  # Links are followed: the disc must hold the files themselves.
  cp -RL --preserve=mode,timestamps "$disc/$entry" "$stage/$entry"
done < <(find "$disc" -mindepth 1 -maxdepth 1 -printf '%f\0')

# ---- The Windows launcher ----------------------------------------------------------------------
if ((windows)); then
  cp "$win_build/quorvane.exe" "$stage/$name.exe"
  if ((strip)); then x86_64-w64-mingw32-strip --strip-unneeded "$stage/$name.exe"; fi
  chmod 644 "$stage/$name.exe"
fi

# ---- The launcher and its libraries ----------------------------------------------------------
launcher="$stage/$hidden"
mkdir -p "$launcher/lib"
cp "$build/quorvane" "$launcher/$name"
chmod 755 "$launcher/$name"
# The INI file is read beside the path the launcher is started as; the libraries and qt.conf are
# found beside the file it really is.
ln -s "$hidden/$name" "$stage/$name"

mapfile -t system_patterns < <(grep -v -e '^#' -e '^[[:space:]]*$' "$system_list")
is_system() {
  local p
  for p in "${system_patterns[@]}"; do
    # shellcheck disable=SC2053  # the list holds patterns
    [[ "$1" == $p ]] && return 0
  done
  return 1
}

# Walks the libraries each object needs, as the loader finds them on this machine; a library on
# the system list is neither copied nor followed.
declare -A bundled=() system_used=()
queue=("$build/quorvane")
objects=("$launcher/$name")
for p in "${qt_plugins[@]}"; do
  [[ -f "$plugin_dir/$p" ]] || die "the Qt plugin $plugin_dir/$p is missing (scripts/bootstrap.sh installs it)"
  mkdir -p "$launcher/plugins/$(dirname "$p")"
  cp "$plugin_dir/$p" "$launcher/plugins/$p"
  queue+=("$plugin_dir/$p")
  objects+=("$launcher/plugins/$p")
done
while ((${#queue[@]})); do
  object=${queue[0]}
  queue=("${queue[@]:1}")
  declare -A found=()
  while read -r soname arrow path _; do
    [[ "$arrow" == "=>" ]] && found[$soname]=$path
  done < <(ldd "$object")
  while read -r soname; do
    if is_system "$soname"; then system_used[$soname]=1; continue; fi
    [[ -n "${bundled[$soname]:-}" ]] && continue
    path=${found[$soname]:-}
    [[ -n "$path" && "$path" != "not" ]] || die "$soname, needed by $object, is not installed"
    bundled[$soname]=$path
    cp -L "$path" "$launcher/lib/$soname"
    objects+=("$launcher/lib/$soname")
    queue+=("$path")
  done < <(objdump -p "$object" | awk '$1 == "NEEDED" { print $2 }')
  unset found
done

# The launcher's run path is an old-style one (DT_RPATH): the loader searches it for the needs of
# every library and plugin that has no run path of its own, so the libraries stay as Debian built
# them (rewriting them with patchelf makes each one bigger). The plugins get a run path of their own.
for o in "${objects[@]}"; do
  chmod 755 "$o"
  if ((strip)); then strip --strip-unneeded "$o"; fi
  case $o in
    "$launcher/$name") patchelf --force-rpath --set-rpath '$ORIGIN/lib' "$o" ;;
    "$launcher/plugins/"*) patchelf --set-rpath '$ORIGIN/../../lib' "$o" ;;
    *)
      if readelf -d "$o" | grep -qE '\((RUNPATH|RPATH)\)'; then patchelf --set-rpath '$ORIGIN' "$o"; fi ;;
  esac
done

# ICU's data library holds every locale's collation, calendar, time zone and unit texts and some
# two hundred code page converters: 31 MB of which the launcher uses none (Qt keeps its own locale
# tables and reads UTF-8 itself; the launcher decodes the code pages of disc files on its own). The
# disc keeps the character properties and the normalisation, and builds the library anew.
icu_data=$(cd "$launcher/lib" && ls libicudata.so.* 2>/dev/null || true)
if [[ -n "$icu_data" ]]; then
  major=${icu_data#libicudata.so.}
  symbol=$(nm -D --defined-only "$launcher/lib/$icu_data" | awk '$2 == "R" && $3 ~ /^icudt[0-9]+_dat$/ { print $1, $3 }')
  [[ -n "$symbol" ]] || die "no ICU data symbol in $icu_data"
  read -r address symbol <<<"$symbol"
  read -r section_address section_offset < <(readelf -SW "$launcher/lib/$icu_data" |
    sed 's/^ *\[ *[0-9]*\] *//' | awk '$1 == ".rodata" { print $3, $4 }')
  size=$(nm -D -S --defined-only "$launcher/lib/$icu_data" | awk -v s="$symbol" '$4 == s { print $2 }')
  package="icudt${major}l"
  mkdir "$work/icu" "$work/icu/out"
  dd if="$launcher/lib/$icu_data" of="$work/icu/$package.dat" bs=64K iflag=skip_bytes,count_bytes \
    skip=$((0x$address - 0x$section_address + 0x$section_offset)) count=$((0x$size)) status=none
  icupkg -l "$work/icu/$package.dat" | grep -E '/|\.res$|\.cnv$' | grep -vxE '(root|res_index|pool)\.res' >"$work/icu/remove.txt"
  # icupkg takes a list of items from a file only when its name ends in .txt.
  icupkg -r "$work/icu/remove.txt" "$work/icu/$package.dat" "$work/icu/out/$package.dat"
  printf '%s\n' '.section .rodata' ".globl $symbol" ".type $symbol, @object" '.balign 16' "$symbol:" \
    ".incbin \"$package.dat\"" ".size $symbol, . - $symbol" '.section .note.GNU-stack,"",@progbits' \
    >"$work/icu/out/data.S"
  (cd "$work/icu/out" && gcc -shared -nostdlib -Wl,-soname,"$icu_data" -o "$icu_data" data.S)
  install -m 755 "$work/icu/out/$icu_data" "$launcher/lib/$icu_data"
fi
printf '[Paths]\nPrefix=.\nPlugins=plugins\n' >"$launcher/qt.conf"

# ---- Autorun files and the disc icon ---------------------------------------------------------
# Quotes a text for sh, so that a name never becomes shell syntax.
sh_quote() { printf "'%s'" "${1//\'/\'\\\'\'}"; }

# The freedesktop autorun program: desktops offer to run it when the disc is inserted.
{
  echo '#!/bin/sh'
  echo "# Starts the disc's menu in the disc's own folder: the paths in its INI file are relative to it."
  echo 'cd "$(dirname "$0")" || exit 1'
  echo "exec ./$(sh_quote "$name") \"\$@\""
} >"$stage/autorun"
chmod 755 "$stage/autorun"

# A desktop entry cannot name a program relative to itself. Its Exec line hands sh the entry's own
# path (%k) as an argument, never as part of the script; where the desktop gives no %k (GLib does
# not), the script looks where desktops mount a disc with this label.
# Quotes a text as one argument of an Exec line: the Exec rules inside double quotes, a literal %
# doubled, then the escapes of any desktop entry value.
desktop_quote() {
  local s=$1 backslash='\'
  s=${s//"$backslash"/"$backslash$backslash"}
  s=${s//'"'/"$backslash"'"'}
  s=${s//'`'/"$backslash"'`'}
  s=${s//'$'/"$backslash"'$'}
  s=${s//'%'/'%%'}
  s="\"$s\""
  printf '%s' "${s//"$backslash"/"$backslash$backslash"}"
}
quoted_label=$(sh_quote "$label")
find_autorun='for d in "${1%/*}" "/run/media/$USER/"'"$quoted_label"' "/media/$USER/"'"$quoted_label"
find_autorun+=' "/media/"'"$quoted_label"'; do if [ -x "$d/autorun" ]; then exec "$d/autorun"; fi; done; exit 1'
desktop_name=${label//'\'/'\\'}
{
  echo '[Desktop Entry]'
  echo 'Type=Application'
  echo "Name=$desktop_name"
  echo "Comment=Opens the disc's menu"
  echo "Exec=sh -c $(desktop_quote "$find_autorun") sh %k"
  echo 'Terminal=false'
} >"$stage/$name.desktop"
chmod 755 "$stage/$name.desktop"

# The disc's picture, looked up here and nowhere else: the disc folder's own icon, then the
# project's application icon, else a plain disc drawn on the spot.
icon_source=""
for candidate in "$disc/.DirIcon" "$disc/$name.png" "$disc/$name.ico" "$disc/icon.png" "$disc/icon.ico" \
  "$root/resources/quorvane.png" "$root/resources/quorvane.ico"; do
  if [[ -f "$candidate" ]]; then icon_source=$candidate; break; fi
done
if [[ -z "$icon_source" ]]; then
  convert -size 64x64 xc:none -fill '#2B4C7E' -draw 'circle 32,32 32,2' -fill '#C9D6E3' \
    -draw 'circle 32,32 32,10' -fill '#2B4C7E' -draw 'circle 32,32 32,25' -fill none \
    -draw 'circle 32,32 32,29' "png:$work/icon.png"
elif [[ "$(head -c 4 "$icon_source" | od -An -tx1 | tr -d ' ')" == 00000100 ]]; then
  # An icon file: its largest picture becomes the PNG.
  cp "$icon_source" "$work/icon.ico"
  largest=$(identify -format '%[fx:w*h] %p\n' "ico:$work/icon.ico" | sort -n | tail -n1 | cut -d' ' -f2)
  convert "ico:$work/icon.ico[$largest]" "png:$work/icon.png"
else
  cp "$icon_source" "$work/source-icon"
  convert "$work/source-icon[0]" "png:$work/icon.png"
fi
cp "$work/icon.png" "$stage/.DirIcon"
if [[ -f "$work/icon.ico" ]]; then
  cp "$work/icon.ico" "$stage/autorun.ico"
else
  convert "png:$work/icon.png" -define icon:auto-resize=64,48,32,16 "ico:$stage/autorun.ico"
fi
if [[ -e "$disc/autorun.inf" ]]; then
  say "the disc folder's own autorun.inf is kept as it is"
else
  {
    printf '[autorun]\r\n'
    ((windows)) && printf 'open=%s.exe\r\n' "$name"
    printf 'icon=autorun.ico\r\nlabel=%s\r\n' "$label"
  } >"$stage/autorun.inf"
fi

# ---- The disc check --------------------------------------------------------------------------
# quorvane-check looks at the finished disc folder; any finding stops the disc here.
status=0
"$build/quorvane-check" "$stage" >"$work/findings" || status=$?
if [[ $status -ne 0 ]]; then
  sed 's/^/  /' "$work/findings" >&2
  outcome="no disc made"
  [[ -z "$folder" ]] || outcome="the folder $stage is left as it is to look at"
  if [[ $status -eq 1 ]]; then
    die "quorvane-check found $(wc -l <"$work/findings") problem(s) on the disc; $outcome"
  fi
  die "quorvane-check failed (exit code $status); $outcome"
fi
say "quorvane-check: no errors on the disc"
# ---- end of the disc check -------------------------------------------------------------------

size=$(du -sb "$launcher" | cut -f1)
say "launcher folder $hidden: $size bytes, ${#bundled[@]} libraries on the disc, $(printf '%s\n' "${!system_used[@]}" | sort | tr '\n' ' ')from the system"
if ((windows)); then say "Windows launcher $name.exe: $(du -b "$stage/$name.exe" | cut -f1) bytes"; fi
if [[ -n "$folder" ]]; then
  say "disc folder $stage ready (launcher: $name, label: $label)"
  exit 0
fi

# ---- The image -------------------------------------------------------------------------------
# Rock Ridge keeps names, letter case, links and run bits (-r also makes every file readable by
# everyone and owned by nobody in particular); Joliet gives long names to other systems. Windows
# reads the Joliet tree: the Linux launcher, its autorun files and the shell scripts are not in it
# (Windows cannot run them; a definition's .NT twin names the program that takes their place).
joliet_hidden=()
if ((windows)); then
  # The paths are the files' paths on this machine, as mkisofs takes them.
  for linux_only in "$hidden" autorun .DirIcon "$name.desktop" "$name"; do joliet_hidden+=(-hide-joliet "$stage/$linux_only"); done
  while IFS= read -r -d '' script; do joliet_hidden+=(-hide-joliet "$script"); done \
    < <(find "$stage" -path "$stage/$hidden" -prune -o -type f -name '*.sh' -print0)
fi
rm -f "$iso"
xorriso -as mkisofs -quiet -r -J -joliet-long "${joliet_hidden[@]}" -V "$label" -o "$iso" "$stage"
say "disc image $iso ready (launcher: $name, label: $label, $(du -b "$iso" | cut -f1) bytes)"
