#!/usr/bin/env bash
# The layers link one way: each folder may include only itself and the
# folders below it, and nothing below app/ may touch windows, cursors or
# message boxes.  Prints every offending line and fails when there is one.
#
#   tests/layers/check-layers.sh [SOURCE_ROOT]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root" || exit 2

# What each layer may include, itself first.
declare -A allowed=(
  [platform]="platform"
  [image]="image platform"
  [files]="files image platform"
  [processing]="processing image platform"
  [text]="text processing files image platform"
  [app]="app resources text processing files image platform"
  [cli]="cli text processing files image platform"
)
core_layers=(platform image files processing text)

problems=0
say() {
  echo "$1"
  problems=$((problems + 1))
}

sources_of() {
  find "$1" -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort
}

for layer in "${!allowed[@]}"; do
  for file in $(sources_of "$layer"); do
    while IFS=: read -r line target; do
      folder=${target%%/*}
      ok=0
      for permitted in ${allowed[$layer]}; do
        [ "$folder" = "$permitted" ] && ok=1
      done
      [ $ok = 1 ] || say "$file:$line: $layer/ includes $target, from a layer above it"
    done < <(grep -noE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/[^"]+"' "$file" |
             sed -E 's/^([0-9]+):.*"([^"]+)".*/\1:\2/')
  done
done

# Below app/ the system is reached through platform/ alone, and no window
# call, window handle, cursor or message box appears at all.
for layer in "${core_layers[@]}"; do
  [ "$layer" = platform ] && continue
  for file in $(sources_of "$layer"); do
    grep -nE '#[[:space:]]*include[[:space:]]*<windows\.h>' "$file" | while IFS= read -r hit; do
      echo "$file:${hit%%:*}: includes <windows.h>; only platform/ may"
    done
    grep -nwE 'HWND|MessageBox[AW]?|SetCursor|LoadCursor[AW]?|GetDC|ReleaseDC' "$file" | while IFS= read -r hit; do
      echo "$file:${hit%%:*}: window call or handle below app/: ${hit#*:}"
    done
  done
done > /tmp/check-layers.$$ 2>&1
if [ -s /tmp/check-layers.$$ ]; then
  cat /tmp/check-layers.$$
  problems=$((problems + $(wc -l < /tmp/check-layers.$$)))
fi
rm -f /tmp/check-layers.$$

if [ $problems -gt 0 ]; then
  echo "check-layers: $problems line(s) break the layer rule" >&2
  exit 1
fi
echo "check-layers: every include points downward; nothing below app/ touches windows"
