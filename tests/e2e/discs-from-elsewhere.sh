#!/usr/bin/env bash
# Discs made on other systems: INI files saved as UTF-16 and Windows-1252, file names in another
# letter case, the launcher started from another folder; and quorvane-check on a clean and on a
# broken disc.
#   discs-from-elsewhere.sh QUORVANE QUORVANE-CHECK SOURCE-FOLDER
set -uo pipefail
exe=$(readlink -f "$1") checker=$(readlink -f "$2") src=$(readlink -f "$3")
# The checker needs no display.
check() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$checker" "$@" 2>/dev/null; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passes=0 failures=0
pass() { echo "PASS: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# 1. The demo disc is clean: exit 0, no error and no warning.
out=$(check "$src/examples/demo-disc"); rc=$?
if [[ $rc -eq 0 ]] && ! grep -qE '^(error|warning) ' <<<"$out"; then pass "demo disc checks clean"
else fail "demo disc: exit $rc"; echo "$out"; fi
if check --json "$src/examples/demo-disc" | grep -qv '^{"severity":"info","kind":"[a-z]*","subject":".*","text":".*"}$'
then fail "JSON lines are not all of the expected shape"; else pass "--json prints one object per line"; fi

for args in "" "--json" "a b" "--verbose a"; do
  # shellcheck disable=SC2086
  check $args >/dev/null; rc=$?
  if [[ $rc -eq 2 ]]; then pass "usage error for [$args] exits with 2"; else fail "[$args]: exit $rc, expected 2"; fi
done

# 2. A copy as another system saved it: UTF-16 configuration, Windows-1252 definitions, upper-case
#    names on disk, a codec file present only as CODECS/DEMOCODEC.AX.
disc="$work/disc"
cp -r "$src/examples/demo-disc" "$disc"
mkdir -p "$disc/Codecs" && cp "$disc/Players/demoplayer.dll" "$disc/Codecs/democodec.ax"
{ printf '\xFF\xFE'; iconv -f UTF-8 -t UTF-16LE "$disc/quorvane.ini"; } >"$disc/q.tmp" && mv "$disc/q.tmp" "$disc/quorvane.ini"
for f in "$disc"/Definitions/*.ini; do
  sed 's/^Description=Demo/Description=D\xe9mo/' "$f" >"$f.tmp" && mv "$f.tmp" "$f"
done
find "$disc" -depth -mindepth 1 | while IFS= read -r path; do
  base=$(basename "$path"); upper=$(tr '[:lower:]' '[:upper:]' <<<"$base")
  [[ "$base" != "$upper" ]] && mv "$path" "$(dirname "$path")/$upper"
done
ln -s "$exe" "$disc/quorvane"
log="$work/player.log"
(cd "$work" && QT_QPA_PLATFORM=offscreen QUORVANE_DEMO_LOG="$log" timeout 60 "disc/quorvane" /NOGUI >"$work/run.log" 2>&1)
rc=$?
if [[ $rc -eq 0 ]]; then pass "windowless run of the converted disc from another folder ends with 0"
else fail "windowless run of the converted disc: exit $rc"; cat "$work/run.log"; fi
for _ in $(seq 100); do [[ -s "$log" ]] && grep -q '^arg: ' "$log" && break; sleep 0.1; done
expected="player ran in $work
arg: --play
arg: $disc/VIDEO/FEATURE.AVI"
if [[ "$(cat "$log" 2>/dev/null)" == "$expected" ]]; then pass "the stand-in player received VIDEO/FEATURE.AVI as a native path"
else fail "player log differs:"; cat "$log" 2>/dev/null; fi

out=$(check "$disc"); rc=$?
if [[ $rc -eq 0 ]]; then pass "converted disc checks with exit 0"; else fail "converted disc: exit $rc"; echo "$out"; fi
for want in '^info encoding \[.*/disc/quorvane.ini\] .* is read as UTF-16LE$' \
            '^info encoding \[Definitions\\demoplayer.ini\] .* is read as Windows-1252$' \
            '^warning lookup \[Item1\] Video\\feature.avi resolves only in another letter case: .*/VIDEO/FEATURE.AVI$' \
            '^info version \[Definitions\\democodec.ini\] Démo Codec: Codecs\\democodec.ax has version 2.0.0.0, required 1.0; accepted$'; do
  if grep -qE "$want" <<<"$out"; then pass "converted disc reports /$want/"; else fail "converted disc lacks /$want/"; echo "$out"; fi
done

# 3. A broken copy: every fault is reported once, and the exit code is 1. Without the shell
#    stand-in the player's definition falls to its .NT twin, whose program is missing too.
broken="$work/broken"
cp -r "$src/examples/demo-disc" "$broken"
rm "$broken/Video/making-of.avi" "$broken/Players/demoplayer.sh"
head -c 40 "$src/examples/demo-disc/Covers/inside.bmp" >"$broken/Covers/inside.bmp"
printf 'ELF\0\1\2binary' >"$broken/Info/trailer.txt"
sed -i 's/^Path=\\usr\\bin$/Path=/' "$broken/Definitions/yourplayer.ini"
out=$(check "$broken"); rc=$?
if [[ $rc -eq 1 ]]; then pass "broken disc checks with exit 1"; else fail "broken disc: exit $rc"; fi
if [[ -z "$(sort <<<"$out" | uniq -d)" ]]; then pass "no finding is printed twice"; else fail "repeated findings"; sort <<<"$out" | uniq -d; fi
while IFS= read -r want; do
  n=$(grep -cxF -- "$want" <<<"$out")
  if [[ $n -eq 1 ]]; then pass "reported once: $want"; else fail "reported $n times: $want"; fi
done <<'EOF_WANTED'
error notice [Item2] MainFile not found | Video\making-of.avi
error picture [Inside Cover] Bitmap image is not valid
error information [Item3] Info\trailer.txt is neither rich text nor plain text
error program [Definitions\demoplayer.ini] program not found: Players\demoplayer.exe
error definition [Definitions\yourplayer.ini] Path/PathFromRegistryKey/ExtractPathFromRegistryKey not defined | Definitions\yourplayer.ini
EOF_WANTED
if [[ $(grep -c '^error ' <<<"$out") -eq 5 ]]; then pass "five errors, no more"; else fail "errors:"; grep '^error ' <<<"$out"; fi

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
