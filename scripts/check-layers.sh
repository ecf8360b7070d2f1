#!/usr/bin/env bash
# Fails when a source under src/ includes a header of a layer above its own.
# Layers, lowest first; folders on one line are one layer and may include
# each other. Includes are named from src/ ("links/udp_links.h").
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(
  "platform sanitizers"
  "text tables"
  "simulation state"
  "wits"
  "replay faults"
  "links"
  "control"
  "app"
  "shell pages resources headless"
)
# Arrows still awaiting a move, one "file -> header" a line; # starts a comment.
allowlist=scripts/layers-allowlist.txt

declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

allowed=$(sed -e 's/#.*//' -e 's/[[:space:]]*$//' -e '/^$/d' "$allowlist" 2>/dev/null || true)
found=()
failed=0
while IFS= read -r file; do
  own=${file#src/}
  own=${own%%/*}
  if [ -z "${rank[$own]+set}" ]; then
    echo "layers: $file is in no layer; add src/$own to scripts/check-layers.sh" >&2
    failed=1
    continue
  fi
  while IFS= read -r header; do
    to=${header%%/*}
    [ "$to" = "$header" ] && continue  # beside the file, or generated
    [ -z "${rank[$to]+set}" ] && continue
    [ "${rank[$to]}" -le "${rank[$own]}" ] && continue
    arrow="$file -> $header"
    found+=("$arrow")
    if grep -qxF -- "$arrow" <<<"$allowed"; then
      echo "layers: allowed for now: $arrow"
    else
      echo "layers: $arrow runs upward (${own} is below ${to})" >&2
      failed=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files 'src/*.cpp' 'src/*.h')

# An entry whose arrow is gone must go too, so the list only shrinks.
while IFS= read -r entry; do
  [ -z "$entry" ] && continue
  if ! printf '%s\n' "${found[@]}" | grep -qxF -- "$entry"; then
    echo "layers: $allowlist lists '$entry', which no longer exists: remove it" >&2
    failed=1
  fi
done <<<"$allowed"

[ "$failed" -eq 0 ] && echo "layers: ok"
exit "$failed"
