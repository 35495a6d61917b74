#!/usr/bin/env bash
# The layers of the sources: a folder includes only from itself and the folders below it.
#
#   base                       errors, their report, code page, integer rule
#   config calls db media      each on base alone; no widgets but in media's players
#   group                      the panel group's broker client, on base, config and calls
#   display                    the main window, on all of the above
#   app                        the program's entry, on display
#   tools                      the administrator's tools, on the layers without widgets
#
#   layering_test.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A allowed=(
  [base]="base"
  [config]="base config"
  [calls]="base calls"
  [db]="base db"
  [media]="base media"
  [group]="base config calls group"
  [display]="base config calls db media group display"
  [app]="base config calls db media group display app"
  [tools]="base config calls db tools"
)
folders="base config calls db media group display app tools tests bench"

failures=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file line text; do
    used=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$text")
    grep -qw "$used" <<<"$folders" || continue
    if ! grep -qw "$used" <<<"${allowed[$folder]}"; then
      echo "FAIL: $file:$line includes from $used/, above $folder/: $text" >&2
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^#include "[a-z]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done
# The libraries without widgets do not link them either.
for folder in base config calls db group; do
  if grep -qE 'Qt6::(Widgets|Gui)|Multimedia' "$folder/CMakeLists.txt"; then
    echo "FAIL: $folder/CMakeLists.txt links widgets" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "every include stays within its layer"
