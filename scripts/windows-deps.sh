#!/usr/bin/env bash
# Cross-builds the libraries the Windows build links (libjpeg-turbo with its SIMD code, GoogleTest and
# GoogleMock, Google Benchmark), static, into one prefix for cmake/mingw-w64-toolchain.cmake, and installs the Debian
# packages the Windows build and its Wine test runs need. What is built already is skipped.
#   scripts/windows-deps.sh [PREFIX-DIR]     default: build-win-deps/prefix in the source tree
# Downloads, apt's private state and build trees go to $QV_WIN_DEPS_WORK (default build-win-deps).
# Run as root on Debian 12 when packages are missing; without root it prints the one command to run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(realpath -m "${1:-$root/build-win-deps/prefix}")
work=$(realpath -m "${QV_WIN_DEPS_WORK:-$root/build-win-deps}")
toolchain="$root/cmake/mingw-w64-toolchain.cmake"
jobs=$(nproc)
# The build machines are shared; two jobs at most.
((jobs > 2)) && jobs=2

jpeg_version=2.1.5
gtest_src=/usr/src/googletest

"$root/scripts/bootstrap.sh" --windows

now() { date +%s.%N; }
t_start=$(now)
step_start=
step() {
  step_start=$(now)
  echo "== $*"
}
step_done() {
  awk -v what="$1" -v a="$step_start" -v b="$(now)" 'BEGIN { printf "   %s: %.1f s\n", what, b - a }'
}

stamps="$prefix/share/quorvane-deps"
mkdir -p "$stamps" "$work"
# A stamp names the version, the compiler and the toolchain file (less its comments) it was built
# with, so that a change of any of them rebuilds.
toolchain_sum=$(grep -v '^[[:space:]]*#' "$toolchain" | sha256sum | cut -c1-16)
compiler_version=$(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || x86_64-w64-mingw32-g++-posix -dumpversion)
stamp_text() { echo "$1 gcc-$compiler_version toolchain-$toolchain_sum"; }
is_built() { [[ -f "$stamps/$1.stamp" && "$(cat "$stamps/$1.stamp")" == "$(stamp_text "$2")" ]]; }

# -O2 rather than CMake's -O3 for Release: the same code Debian ships, and googletest's one large
# unit, which alone sets the build's length, compiles a quarter faster.
cross_cmake() {
  cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQV_WIN_DEPS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" "$@"
}

# ---- Debian's source package, fetched through a private apt configuration ----------------------

# Prints "URI<TAB>SIGNED-BY<TAB>SUITE" for every enabled entry of the machine's apt sources, in both
# the one-line and the deb822 format.
apt_entries() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -r "$f" ]] || continue
    awk '
      { sub(/#.*/, "") }
      $1 == "deb" || $1 == "deb-src" {
        i = 2; opts = ""
        if ($2 ~ /^\[/) {
          while (i <= NF) { opts = opts " " $i; if ($i ~ /\]$/) { i++; break }; i++ }
        }
        sb = ""
        if (match(opts, /signed-by=[^] ]+/)) sb = substr(opts, RSTART + 10, RLENGTH - 10)
        if (i + 1 <= NF) print $i "\t" sb "\t" $(i + 1)
      }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -r "$f" ]] || continue
    awk '
      function flush(   n, m, a, b, U, S) {
        if (uris != "" && types ~ /(^|[ \t])deb(-src)?([ \t]|$)/ && tolower(enabled) != "no") {
          n = split(uris, U, /[ \t]+/); m = split(suites, S, /[ \t]+/)
          for (a = 1; a <= n; a++) for (b = 1; b <= m; b++) if (U[a] != "" && S[b] != "") print U[a] "\t" sb "\t" S[b]
        }
        types = uris = suites = sb = enabled = key = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ {
        # A continuation line; an inline key in Signed-By is no path we could pass on.
        if (key == "uris") uris = uris " " $0
        else if (key == "suites") suites = suites " " $0
        else if (key == "signed-by") sb = ""
        next
      }
      {
        c = index($0, ":"); key = tolower(substr($0, 1, c - 1)); v = substr($0, c + 1)
        gsub(/^[ \t]+|[ \t]+$/, "", v)
        if (key == "types") types = v
        else if (key == "uris") uris = v
        else if (key == "suites") suites = v
        else if (key == "signed-by") sb = v
        else if (key == "enabled") enabled = v
      }
      END { flush() }' "$f"
  done
}

# The archive that carries bookworm itself; an entry for bookworm-updates or -backports names the
# same archive, a -security entry does not.
debian_archive() {
  local entries line
  entries=$(apt_entries)
  line=$(awk -F'\t' '$3 == "bookworm" { print; exit }' <<<"$entries")
  if [[ -z "$line" ]]; then
    line=$(awk -F'\t' '$3 ~ /^bookworm-(updates|backports)$/ { print; exit }' <<<"$entries")
  fi
  [[ -n "$line" ]] || return 1
  printf '%s\n' "$line"
}

# fetch_source PACKAGE FOLDER: Debian's source package of that name into the folder.
fetch_source() {
  local package=$1 dest=$2
  local apt="$work/apt" line uri signed_by opt
  line=$(debian_archive) || {
    echo "No apt source for Debian bookworm in /etc/apt/sources.list or /etc/apt/sources.list.d/" >&2
    exit 1
  }
  IFS=$'\t' read -r uri signed_by _ <<<"$line"
  uri=${uri%/}
  opt=""
  [[ -n "$signed_by" ]] && opt="[signed-by=$signed_by] "
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  echo "deb-src ${opt}${uri} bookworm main" >"$apt/sources.list"
  # The machine's update and install hooks clean or refresh the machine's own caches; none of that
  # concerns this private state.
  cat >"$apt/apt.conf" <<'EOF'
#clear APT::Update::Pre-Invoke;
#clear APT::Update::Post-Invoke;
#clear APT::Update::Post-Invoke-Success;
#clear DPkg::Pre-Invoke;
#clear DPkg::Post-Invoke;
Acquire::Languages "none";
EOF
  local aptopts=(
    -c "$apt/apt.conf"
    -o Dir::Etc::SourceList="$apt/sources.list"
    -o Dir::Etc::SourceParts="$apt/sources.list.d"
    -o Dir::State::Lists="$apt/lists"
    -o Dir::Cache="$apt/cache"
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
  )
  apt-get "${aptopts[@]}" update -qq

  # As root apt downloads as its own unprivileged user, which must be able to write the folder.
  local tmp="$work/apt/download"
  rm -rf "$tmp"
  mkdir -p "$tmp"
  if [[ $(id -u) -eq 0 ]] && id _apt >/dev/null 2>&1; then
    chown _apt "$tmp"
  fi
  (cd "$tmp" && apt-get "${aptopts[@]}" source --download-only -qq "$package")
  if [[ $(id -u) -eq 0 ]]; then
    chown -R 0:0 "$tmp"
  fi
  local dsc
  dsc=$(ls "$tmp"/"$package"_*.dsc 2>/dev/null | head -n1)
  [[ -n "$dsc" ]] || { echo "apt-get source fetched no $package .dsc" >&2; exit 1; }
  mkdir -p "$dest"
  mv "$tmp"/* "$dest"/
  rmdir "$tmp"
  # The package index (20 MB) has served its purpose once the source is kept.
  rm -rf "$apt/lists" "$apt/cache"
}

jpeg_dl="$work/downloads/libjpeg-turbo"
if is_built libjpeg-turbo "libjpeg-turbo-$jpeg_version"; then
  echo "== libjpeg-turbo $jpeg_version: built already"
else
  if ! ls "$jpeg_dl"/libjpeg-turbo_*.dsc >/dev/null 2>&1; then
    step "libjpeg-turbo: fetching Debian's source package"
    fetch_source libjpeg-turbo "$jpeg_dl"
    step_done "download"
  fi
  dsc=$(ls "$jpeg_dl"/libjpeg-turbo_*.dsc | sort -V | tail -n1)

  step "libjpeg-turbo: unpacking $(basename "$dsc")"
  jpeg_src="$work/src/libjpeg-turbo"
  rm -rf "$jpeg_src"
  mkdir -p "$work/src"
  # dpkg-source applies Debian's patches of a 3.0 (quilt) package while unpacking.
  dpkg-source -x "$dsc" "$jpeg_src" >"$work/src/libjpeg-turbo.log" 2>&1 ||
    { cat "$work/src/libjpeg-turbo.log"; exit 1; }
  unpacked=$(sed -n 's/^project(libjpeg-turbo.*VERSION \([0-9.]*\).*/\1/p; s/^set(VERSION \([0-9.]*\))/\1/p' \
    "$jpeg_src/CMakeLists.txt" | head -n1)
  if [[ "$unpacked" != "$jpeg_version" ]]; then
    echo "Debian's libjpeg-turbo source is version '${unpacked:-unknown}', expected $jpeg_version" >&2
    exit 1
  fi
  step_done "unpack"

  step "libjpeg-turbo $jpeg_version: cross-building (static, SIMD)"
  b="$work/build/libjpeg-turbo"
  rm -rf "$b"
  mkdir -p "$work/build"
  cross_cmake -S "$jpeg_src" -B "$b" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm -Wno-dev >"$b.log" 2>&1 ||
    { cat "$b.log"; exit 1; }
  cmake --build "$b" -j"$jobs" --target jpeg-static >>"$b.log" 2>&1 || { tail -n 40 "$b.log"; exit 1; }
  # The project's install step has no components and wants its command-line tools built too, a
  # quarter of the build's time; the library, its headers and its pkg-config file are all that
  # find_package(JPEG) and the program need.
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  install -m 644 "$b/jconfig.h" "$jpeg_src/jerror.h" "$jpeg_src/jmorecfg.h" "$jpeg_src/jpeglib.h" \
    "$prefix/include/"
  install -m 644 "$b/libjpeg.a" "$prefix/lib/"
  install -m 644 "$b/pkgscripts/libjpeg.pc" "$prefix/lib/pkgconfig/"
  if ! x86_64-w64-mingw32-nm "$prefix/lib/libjpeg.a" 2>/dev/null | grep ' T jsimd_idct_islow_avx2$' >/dev/null; then
    echo "libjpeg.a holds no SIMD code" >&2
    exit 1
  fi
  stamp_text "libjpeg-turbo-$jpeg_version" >"$stamps/libjpeg-turbo.stamp"
  step_done "build"
fi

# ---- GoogleTest and GoogleMock from Debian's googletest sources -------------------------------

gtest_version=$(sed -n 's/^set(GOOGLETEST_VERSION \([0-9.]*\))/\1/p' "$gtest_src/CMakeLists.txt")
if is_built googletest "googletest-$gtest_version"; then
  echo "== googletest $gtest_version: built already"
else
  step "googletest $gtest_version: cross-building (static)"
  b="$work/build/googletest"
  rm -rf "$b"
  mkdir -p "$work/build"
  # No gtest_disable_pthreads: on MinGW googletest takes Windows threads even when winpthread is
  # there, and hands GTEST_HAS_PTHREAD=0 on to the programs that link it, so both sides agree.
  cross_cmake -S "$gtest_src" -B "$b" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON \
    >"$b.log" 2>&1 || { cat "$b.log"; exit 1; }
  cmake --build "$b" -j"$jobs" >>"$b.log" 2>&1 || { tail -n 40 "$b.log"; exit 1; }
  cmake --install "$b" >>"$b.log"
  stamp_text "googletest-$gtest_version" >"$stamps/googletest.stamp"
  step_done "build"
fi

# ---- Google Benchmark from Debian's source package, for the pixel benchmark under Wine -----------

bench_version=1.7.1
bench_dl="$work/downloads/benchmark"
if is_built benchmark "benchmark-$bench_version"; then
  echo "== benchmark $bench_version: built already"
else
  if ! ls "$bench_dl"/benchmark_*.dsc >/dev/null 2>&1; then
    step "benchmark: fetching Debian's source package"
    fetch_source benchmark "$bench_dl"
    step_done "download"
  fi
  dsc=$(ls "$bench_dl"/benchmark_*.dsc | sort -V | tail -n1)
  step "benchmark: unpacking $(basename "$dsc")"
  bench_src="$work/src/benchmark"
  rm -rf "$bench_src"
  mkdir -p "$work/src"
  dpkg-source -x "$dsc" "$bench_src" >"$work/src/benchmark.log" 2>&1 || { cat "$work/src/benchmark.log"; exit 1; }
  unpacked=$(sed -n 's/^project *( *benchmark *VERSION \([0-9.]*\).*/\1/p' "$bench_src/CMakeLists.txt" | head -n1)
  if [[ "$unpacked" != "$bench_version" ]]; then
    echo "Debian's benchmark source is version '${unpacked:-unknown}', expected $bench_version" >&2
    exit 1
  fi
  step_done "unpack"
  step "benchmark $bench_version: cross-building (static)"
  b="$work/build/benchmark"
  rm -rf "$b"
  mkdir -p "$work/build"
  # Debian builds it with its version given, as the source has no git tags to read it from.
  cross_cmake -S "$bench_src" -B "$b" -DGIT_VERSION="$bench_version" -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_INSTALL=ON -DBENCHMARK_INSTALL_DOCS=OFF \
    -DBENCHMARK_ENABLE_LIBPFM=OFF >"$b.log" 2>&1 || { cat "$b.log"; exit 1; }
  cmake --build "$b" -j"$jobs" >>"$b.log" 2>&1 || { tail -n 40 "$b.log"; exit 1; }
  cmake --install "$b" >>"$b.log"
  stamp_text "benchmark-$bench_version" >"$stamps/benchmark.stamp"
  step_done "build"
fi

step_start=$t_start
step_done "windows-deps total"
echo "Prefix: $prefix"
