#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Korvane needs to build, test and package
# (the Windows build too: mingw-w64, GoogleTest's sources, Wine, socat), if any
# are missing, and generates the comma-decimal locale one test builds under.
# Does nothing (and needs no network) when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-dejavu-extra
  clang-format locales iproute2 util-linux
  help2man dpkg-dev lintian
  g++-mingw-w64-x86-64-posix googletest wine64 socat
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale with "," as decimal point proves numbers are printed the classic way.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "Generating locale de_DE.UTF-8"
  as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "warning: could not generate de_DE.UTF-8" >&2
fi
