#!/usr/bin/env bash
# Draws docs/windows.png (or the PNG named as $1): the main window of the
# Windows build as Wine shows it, on the windows platform, in a Wine desktop
# on an X server of its own (Xvfb), with the frame and title bar Wine draws.
# Needs `make windows` first, and Xvfb (apt-get install xvfb); neither the
# build nor its tests need an X server.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-docs/windows.png}")"
tool="$PWD/build/windows/src/shell/korvane-screenshot.exe"
wine=/usr/lib/wine/wine64
[ -f "$tool" ] || { echo "no $tool: run make windows first" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing: apt-get install xvfb" >&2; exit 1; }

work="$(mktemp -d)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=""
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

"$wine" wineboot --init >/dev/null 2>&1
reg() { "$wine" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
# A desktop of Wine's own, which draws the frames as Windows does.
reg 'HKCU\Software\Wine\Explorer' Desktop Default
reg 'HKCU\Software\Wine\Explorer\Desktops' Default 640x420
# Visual styles on, as on any Windows desktop (Wine's own Light theme).
theme='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
reg "$theme" ThemeActive 1
reg "$theme" DllName 'C:\windows\resources\themes\light\light.msstyles'
reg "$theme" ColorName Blue
reg "$theme" SizeName Normal
# Debian's Wine does not find its own Marlett, which draws the caption buttons.
reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' 'Marlett (TrueType)' \
  'Z:\usr\share\wine\fonts\marlett.ttf'
/usr/lib/wine/wineserver -k   # the settings apply from the next start

"$wine" "$tool" drilling "Z:$work/windows.png" -platform windows
mv "$work/windows.png" "$out"
echo "wrote $out"
