#!/usr/bin/env bash
# Runs a Windows program under Wine: CTest's emulator for the Windows build.
# The prefix is $WINEPREFIX, else build/windows/wineprefix, made on first use
# (about 8 s). The mingw runtime DLLs are found where the cross compiler keeps
# them; KORVANE_WINE_DLL_PATH (Windows paths, ";" between) can add folders.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
wine=/usr/lib/wine/wine64
export WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No dialogs offering to install Wine's .NET and HTML engines.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Tests started side by side make the prefix once.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1
      /usr/lib/wine/wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi

windows_path() { local p; p="$(cd "$1" && pwd)"; printf 'Z:%s' "${p//\//\\}"; }
dlls=""
for dll in libstdc++-6.dll libwinpthread-1.dll; do
  found="$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")"
  [ -f "$found" ] && dlls="$dlls;$(windows_path "$(dirname "$found")")"
done
export WINEPATH="${KORVANE_WINE_DLL_PATH:-}$dlls"

exec "$wine" "$@"
