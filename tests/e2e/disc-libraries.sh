#!/usr/bin/env bash
# The packed launcher's libraries: make-disc.sh lays out the demo disc as a folder, and every
# library the launcher and its plugins need must come from the disc or from the system list
# (scripts/disc-system-libraries.txt), and nothing may ask for a newer C library than the README
# promises.
# Usage: disc-libraries.sh <source folder>
set -uo pipefail
src=$1
# The newest C library version the disc may need (the README's "Making a disc" says the same).
glibc_floor=2.35
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
pass() { echo "PASS: $1"; passes=$((passes + 1)); }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

disc="$work/demo disc"
if ! "$src/scripts/make-disc.sh" --folder "$disc" "$src/examples/demo-disc" >"$work/make-disc.log" 2>&1; then
  sed 's/^/  make-disc: /' "$work/make-disc.log"
  echo "FAIL: make-disc.sh could not lay out the demo disc"
  echo "0 passed, 1 failed"
  exit 1
fi
mapfile -t system_patterns < <(grep -v -e '^#' -e '^[[:space:]]*$' "$src/scripts/disc-system-libraries.txt")
is_system() {
  local p
  for p in "${system_patterns[@]}"; do
    # shellcheck disable=SC2053  # the list holds patterns
    [[ "$1" == $p ]] && return 0
  done
  return 1
}
libs=$(readlink -f "$disc/.launcher/lib")

# 1. ldd of the launcher, started through its link at the disc's root from another folder (as ldd
#    does, but started by the kernel: ldd itself would hand the link's path to the loader, which
#    then takes $ORIGIN from the link rather than from the file it points to): every
#    library that the launcher or a library of the disc asks for resolves inside the disc unless it
#    is on the system list; what only the system's libraries ask for is the system's business.
declare -A ours=()
for object in "$disc/.launcher/quorvane" "$libs"/*; do
  while read -r soname; do ours[$soname]=1; done < <(objdump -p "$object" | awk '$1 == "NEEDED" { print $2 }')
done
problems=()
cd /
while IFS= read -r line; do
  # "soname => path (address)", where the path may hold blanks, or "soname => not found".
  [[ "$line" =~ ^[[:space:]]*([^[:space:]]+)\ =\>\ (.*)$ ]] || continue
  soname=${BASH_REMATCH[1]}
  path=${BASH_REMATCH[2]% (0x*)}
  if [[ "$path" == "not found" ]]; then
    problems+=("$soname not found")
  elif [[ -n "${ours[$soname]:-}" ]] && ! is_system "$soname" && [[ "$(readlink -f "$path")" != "$libs/"* ]]; then
    problems+=("$soname from $path")
  fi
done < <(LD_TRACE_LOADED_OBJECTS=1 "$disc/quorvane")
if [[ ${#problems[@]} -eq 0 ]]; then pass "ldd of the packed launcher finds every library on the disc or in the system list"
else fail "ldd of the packed launcher: ${problems[*]}"; fi

# 2. Every library and plugin on the disc needs only libraries on the disc or in the system list.
problems=()
while IFS= read -r -d '' object; do
  while read -r soname; do
    [[ -f "$libs/$soname" ]] || is_system "$soname" || problems+=("${object#"$disc/"} needs $soname")
  done < <(objdump -p "$object" | awk '$1 == "NEEDED" { print $2 }')
done < <(find "$disc/.launcher" -type f \( -name '*.so*' -o -name quorvane \) -print0)
if [[ ${#problems[@]} -eq 0 ]]; then pass "every library and plugin on the disc needs only the disc's libraries and the system's"
else fail "${problems[*]}"; fi

# 3. The X11 and Wayland platforms are there, the offscreen one for a windowless run without a
# display, and Qt is told where.
if [[ -f "$disc/.launcher/plugins/platforms/libqxcb.so" && -f "$disc/.launcher/plugins/platforms/libqwayland-generic.so" &&
  -f "$disc/.launcher/plugins/platforms/libqoffscreen.so" ]] &&
  grep -qx 'Plugins=plugins' "$disc/.launcher/qt.conf"; then
  pass "the X11, Wayland and offscreen platform plugins and qt.conf are beside the launcher"
else fail "platform plugins or qt.conf missing: $(cd "$disc/.launcher" && find . -name '*.so' -path '*platforms*' -o -name qt.conf)"; fi

# 4. No object asks for a C library newer than the oldest system the disc is made for.
newest=$(find "$disc/.launcher" -type f \( -name '*.so*' -o -name quorvane \) -exec objdump -T {} + 2>/dev/null |
  grep -o 'GLIBC_2\.[0-9]*' | sort -t. -k2,2n -u | tail -n1)
if [[ -n "$newest" ]] && printf '%s\n' "${newest#GLIBC_}" "$glibc_floor" | sort -V -C; then
  pass "the newest C library version the disc needs is ${newest#GLIBC_} (at most $glibc_floor)"
else fail "the disc needs $newest, newer than GLIBC_$glibc_floor"; fi

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
