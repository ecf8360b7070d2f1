#!/usr/bin/env bash
# Checks the Windows zip (build/windows/korvane-<version>-windows-x64.zip)
# runs on a machine with nothing installed: every DLL its programs and
# plugins load is in the zip or is part of Windows (Wine's system32 stands in
# for it), it carries the licence texts Qt's LGPL asks for and says where
# Qt's source is, and korvane-headless.exe runs from it under Wine with no
# DLL path.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="korvane-$version-windows-x64"
zip="$PWD/build/windows/$name.zip"
[ -f "$zip" ] || { echo "no $zip: run make windows-package" >&2; exit 1; }

work="$(mktemp -d)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
folder="$work/$name"
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
system32="$WINEPREFIX/drive_c/windows/system32"

for needed in korvane.exe korvane-headless.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
  platforms/qwindows.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll \
  README-windows.txt LICENSE.txt LGPL-3.txt GPL-3.txt examples/WitsDialogInfo.txt; do
  [ -f "$folder/$needed" ] || { echo "the zip has no $needed" >&2; exit 1; }
done
# Qt under the LGPL: its licence texts whole, and where its source is.
for licence in LGPL-3 GPL-3; do
  cmp -s "$folder/$licence.txt" "/usr/share/common-licenses/$licence" ||
    { echo "the zip's $licence.txt is not the $licence text" >&2; exit 1; }
done
grep -q "apt-get source qt6-base" "$folder/README-windows.txt" ||
  { echo "README-windows.txt does not say where Qt's source is" >&2; exit 1; }

missing=0
while IFS= read -r -d '' binary; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p'); do
    # api-ms-win-* names are sets of Windows' own functions, not files.
    if [ ! -f "$folder/$dll" ] && [[ "$dll" != api-ms-win-* ]] &&
      [ -z "$(find "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ]; then
      echo "${binary#"$folder"/} needs $dll, which is neither in the zip nor in Windows" >&2
      missing=1
    fi
  done
done < <(find "$folder" \( -name '*.exe' -o -name '*.dll' \) -print0)
[ "$missing" -eq 0 ]

said=$(cd "$work" && /usr/lib/wine/wine64 "$folder/korvane-headless.exe" --version | tr -d '\r')
[ "$said" = "korvane-headless $version" ] ||
  { echo "korvane-headless.exe from the zip says '$said'" >&2; exit 1; }
echo "windows zip: $zip ($(du -k "$zip" | cut -f1) KiB) has everything its programs load"
