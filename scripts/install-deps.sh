#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Korvane needs to build, test and package
# (the Windows build too: mingw-w64, GoogleTest's sources, Wine, socat), if any
# are missing, and generates the comma-decimal locale one test builds under.
# Does nothing (and needs no network) when everything is already there.
# Prints one line per step; apt-get's own output goes to build/install-deps.log.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-dejavu-extra
  clang-format locales iproute2 util-linux
  help2man dpkg-dev lintian
  g++-mingw-w64-x86-64-posix googletest wine64 socat
  qt6-base-dev-tools xz-utils
)

log="$(cd "$(dirname "$0")/.." && pwd)/build/install-deps.log"
# Lines of the log shown when a step fails.
failure_lines=20

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Runs one step with its output in the log; on failure names the log and
# shows its end.
step() {
  local title="$1"
  shift
  echo "$title"
  if ! "$@" >>"$log" 2>&1; then
    echo "That failed. The full log is $log; its last lines:" >&2
    tail -n "$failure_lines" "$log" >&2
    return 1
  fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

needs_locale=false
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' || needs_locale=true

if [ "${#missing[@]}" -gt 0 ] || $needs_locale; then
  mkdir -p "$(dirname "$log")"
  : >"$log"
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Missing packages: ${missing[*]}" >>"$log"
  step "Updating package lists..." as_root apt-get update
  noun=packages
  [ "${#missing[@]}" -eq 1 ] && noun=package
  step "Installing ${#missing[@]} $noun..." \
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  # The locale tools may have come with this install.
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && needs_locale=false
fi

# A locale with "," as decimal point proves numbers are printed the classic way.
if $needs_locale; then
  step "Generating locale de_DE.UTF-8..." as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
    echo "warning: could not generate de_DE.UTF-8; the test that needs it will be skipped" >&2
fi
