#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages a task needs, if any are missing:
#   scripts/install-deps.sh [GROUP...]
# Groups (default: build):
#   build    the Linux build, its tests, the benchmarks and the package
#            (make run, make test, make package), and the comma-decimal
#            locale one test builds under
#   windows  build, plus the Windows cross build and its tests under Wine
#            (make windows, windows-test, windows-package): mingw-w64,
#            GoogleTest's sources, Wine, Qt's host tools, xz
#   format   clang-format (make check-format, make format)
#   lint     lintian, which checks the package (.ci/run)
#   all      every group (.ci/run)
# Does nothing (and needs no network) when everything is already there.
# Prints one line per step, and every 15 s during the install how far it got;
# apt-get's own output goes to build/install-deps.log.
set -euo pipefail

build_packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-dejavu-extra
  locales iproute2 util-linux socat python3-pytest
  help2man dpkg-dev
)
windows_packages=(g++-mingw-w64-x86-64-posix googletest wine64 qt6-base-dev-tools xz-utils)
format_packages=(clang-format)
lint_packages=(lintian)

log="$(cd "$(dirname "$0")/.." && pwd)/build/install-deps.log"
# Lines of the log shown when a step fails.
failure_lines=20
# Seconds between two progress lines of the install.
progress_period=15

[ "$#" -gt 0 ] || set -- build
packages=()
wants_locale=false
for group in "$@"; do
  case "$group" in
    build) packages+=("${build_packages[@]}") wants_locale=true ;;
    windows) packages+=("${build_packages[@]}" "${windows_packages[@]}") wants_locale=true ;;
    format) packages+=("${format_packages[@]}") ;;
    lint) packages+=("${lint_packages[@]}") ;;
    all)
      packages+=("${build_packages[@]}" "${windows_packages[@]}" "${format_packages[@]}"
        "${lint_packages[@]}")
      wants_locale=true
      ;;
    *)
      echo "install-deps.sh: unknown group '$group' (build, windows, format, lint, all)" >&2
      exit 2
      ;;
  esac
done

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
    failed
    return 1
  fi
}

failed() {
  echo "That failed. The full log is $log; its last lines:" >&2
  grep -avE '^(dl|pm)status:' "$log" | tail -n "$failure_lines" >&2
}

# What apt-get's latest status line says, as "downloading: 40% (...)" or
# "installing: 62% (Unpacking libqt6gui6)".
progress() {
  local last percent
  last="$(grep -aE '^(dl|pm)status:' "$log" | tail -n 1)" || true
  case "$last" in
    dlstatus:*)
      IFS=: read -r _ _ percent last <<<"$last"
      echo "  downloading: ${percent%%.*}% ($last)"
      ;;
    pmstatus:*)
      last="$(sed -E 's/^pmstatus:[^:]*(:[a-z][a-z0-9-]*)?:([0-9.]+):(.*)$/\2:\3/' <<<"$last")"
      echo "  installing: ${last%%.*}% (${last#*:})"
      ;;
    *) echo "  working out what to fetch" ;;
  esac
}

# apt-get install, with a line once apt has said how much it fetches and
# then one every $progress_period seconds.
install_packages() {
  local done_mark="$log.status" waited=0 sized=false summary
  rm -f "$done_mark"
  (
    status=0
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
      -o APT::Status-Fd=1 "$@" >>"$log" 2>&1 || status=$?
    echo "$status" >"$done_mark"
  ) &
  while [ ! -s "$done_mark" ]; do
    sleep 1
    waited=$((waited + 1))
    if ! $sized; then
      summary="$(sed -nE 's/^[0-9]+ upgraded, ([0-9]+) newly installed.*/\1 packages in all/p
        s/^Need to get ([^ ]+ [kMG]?B).* of archives\.$/\1 to download/p
        s/^After this operation, ([^ ]+ [kMG]?B) of additional disk space.*/\1 on disk/p' "$log" |
        paste -sd ',' | sed 's/,/, /g')"
      case "$summary" in *"on disk"*)
        echo "  $summary"
        sized=true
        ;;
      esac
    fi
    if [ $((waited % progress_period)) -eq 0 ]; then progress; fi
  done
  wait || true
  if [ "$(cat "$done_mark")" -ne 0 ]; then
    rm -f "$done_mark"
    failed
    return 1
  fi
  rm -f "$done_mark"
  echo "  done in $waited s"
}

missing=()
for p in "${packages[@]}"; do
  case " ${missing[*]} " in *" $p "*) continue ;; esac
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

needs_locale=false
if $wants_locale; then
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' || needs_locale=true
fi

if [ "${#missing[@]}" -gt 0 ] || $needs_locale; then
  mkdir -p "$(dirname "$log")"
  : >"$log"
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Missing packages: ${missing[*]}" >>"$log"
  step "Updating package lists..." as_root apt-get update
  what="${#missing[@]} packages and what they need"
  [ "${#missing[@]}" -eq 1 ] && what="1 package and what it needs"
  echo "Installing $what..."
  install_packages "${missing[@]}"
  # The locale tools may have come with this install.
  if $needs_locale && locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    needs_locale=false
  fi
fi

# A locale with "," as decimal point proves numbers are printed the classic way.
if $needs_locale; then
  step "Generating locale de_DE.UTF-8..." as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
    echo "warning: could not generate de_DE.UTF-8; the test that needs it will be skipped" >&2
fi
