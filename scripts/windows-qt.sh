#!/usr/bin/env bash
# Prints the prefix of a Qt 6 built for Windows (mingw-w64):
#   scripts/windows-qt.sh [ARCHIVE]
# In this order, it takes:
# 1. ARCHIVE (or $KORVANE_QT_WINDOWS_ARCHIVE), a prebuilt .tar.xz, unpacked
#    once per archive into the cache;
# 2. the Qt that build/windows was configured with, while it is there;
# 3. a Qt built from source earlier (make windows-qt) in the cache.
# Only with KORVANE_QT_WINDOWS_BUILD=1 (which make windows-qt sets) does it
# build one, from Debian's qt6-base source package: 20 minutes to an hour on two
# cores, and apt-get source needs deb-src entries, which it adds under
# /etc/apt/sources.list.d/ when there are none. Without any of these it
# says how to get one and fails.
# The cache is $KORVANE_QT_WINDOWS_CACHE, else ~/.cache/korvane. Only the
# prefix goes to standard output; everything else goes to standard error.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
archive="${1:-${KORVANE_QT_WINDOWS_ARCHIVE:-}}"
cache="${KORVANE_QT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvane}"
mkdir -p "$cache"

say() { echo "windows-qt: $*" >&2; }
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The folder under $1 that holds a Qt installation.
qt_prefix_in() {
  local config
  config="$(find "$1" -maxdepth 5 -path '*/lib/cmake/Qt6/qt.toolchain.cmake' -print -quit)"
  [ -n "$config" ] || return 1
  (cd "$(dirname "$config")/../../.." && pwd)
}

if [ -n "$archive" ]; then
  [ -f "$archive" ] || { say "no such archive: $archive"; exit 1; }
  # Keyed by content, so a new archive under the old name is unpacked afresh.
  key="$(sha256sum "$archive" | cut -c1-16)"
  dest="$cache/qt-windows-$key"
  if [ ! -f "$dest/.unpacked" ]; then
    say "unpacking $archive into $dest"
    rm -rf "$dest" "$dest.partial"
    mkdir -p "$dest.partial"
    tar -xJf "$archive" -C "$dest.partial"
    touch "$dest.partial/.unpacked"
    mv "$dest.partial" "$dest"
  fi
  qt_prefix_in "$dest" || { say "$archive holds no Qt 6 (no lib/cmake/Qt6)"; exit 1; }
  exit 0
fi

# No archive: the Qt the Windows build folder already uses, as long as it is there.
recorded="$(sed -n 's/^KORVANE_QT_WINDOWS_PREFIX:[A-Z]*=//p' "$root/build/windows/CMakeCache.txt" \
  2>/dev/null)" || true
if [ -n "$recorded" ] && [ -f "$recorded/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  echo "$recorded"
  exit 0
fi

# Else one built from Debian's source, as the prebuilt one was.
toolchain="$root/cmake/toolchain-mingw64-posix.cmake"
dest="$cache/qt-windows-source"
prefix="$dest/qt6-mingw-x64"
if [ -f "$dest/.installed" ]; then
  echo "$prefix"
  exit 0
fi
if [ "${KORVANE_QT_WINDOWS_BUILD:-}" != 1 ]; then
  say "no Qt for Windows yet. Either name a prebuilt one:"
  say "  make windows KORVANE_QT_WINDOWS_ARCHIVE=/path/to/qt6.4.2-mingw-x64.tar.xz"
  say "or build one from Debian's qt6-base source (20 minutes to an hour on two cores, once):"
  say "  make windows-qt"
  say "or leave the desktop program out: make windows WINDOWS_GUI=OFF"
  exit 1
fi

needed=(dpkg-dev cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev-tools)
for p in "${needed[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    { say "$p is missing: run scripts/install-deps.sh windows first"; exit 1; }
done

say "building Qt 6 for Windows from Debian's qt6-base source into $dest:"
apt-get source --print-uris qt6-base >/dev/null 2>&1 ||
  say "  adding deb-src entries under /etc/apt/sources.list.d/ and running apt-get update (as root);"
say "  apt-get source qt6-base (about 50 MB), then configure and compile (about 1,000 steps)."
say "  That takes 20 minutes to an hour on two cores and is done once; Ctrl+C stops it."

# apt-get source needs deb-src entries; add them beside the binary ones.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
  say "adding deb-src entries for apt-get source"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      as_root tee /etc/apt/sources.list.d/korvane-deb-src.sources >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' |
      as_root tee /etc/apt/sources.list.d/korvane-deb-src.list >/dev/null
  fi
  as_root apt-get update -qq
fi

mkdir -p "$dest/src"
source_dir="$(find "$dest/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' -print -quit)"
if [ -z "$source_dir" ]; then
  (cd "$dest/src" && apt-get source -qq qt6-base) >&2
  source_dir="$(find "$dest/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' -print -quit)"
fi

# Off: what Korvane does not use, and what does not build for mingw from the
# +dfsg source (dynamic GL, DirectWrite 3 without Direct2D, wintab).
cmake -S "$source_dir" -B "$dest/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_dbus=OFF \
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF -DFEATURE_zstd=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF \
  -DFEATURE_concurrent=ON -DFEATURE_testlib=ON -DFEATURE_widgets=ON -DFEATURE_gui=ON >&2
cmake --build "$dest/build" -j "$(nproc)" >&2
cmake --install "$dest/build" >&2
touch "$dest/.installed"
echo "$prefix"
