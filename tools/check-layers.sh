#!/usr/bin/env bash
# Checks the engine's layering: each folder of src/engine includes only its
# own headers and those of the folders it is allowed to use (below), and no
# engine file includes a Qt header. Prints every offending line; exit 1 if any.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Each layer and what it may include besides itself. net/ needs no pictures:
# mail and HTTP sit on core and settings alone.
declare -A uses=(
  [core]=""
  [settings]="core"
  [codecs]="core settings"
  [platform]="core settings codecs"
  [harvest]="core settings codecs platform"
  [export]="core settings codecs platform harvest"
  [desktop]="core settings codecs platform"
  [net]="core settings"
)
status=0
for layer in "${!uses[@]}"; do
  allowed=" $layer ${uses[$layer]} "
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
    if [[ "$allowed" != *" $target "* ]]; then
      echo "layering: ${file#"$root"/} ($layer) includes $target: ${line#*:}"
      status=1
    fi
  done < <(grep -HE '^#include "[^"]+/' "$root/src/engine/$layer"/* || true)
  if grep -HnE '^#include <Q' "$root/src/engine/$layer"/*; then
    echo "layering: the engine includes Qt"
    status=1
  fi
done
for dir in "$root"/src/engine/*/; do
  name=$(basename "$dir")
  if [ -z "${uses[$name]+set}" ]; then
    echo "layering: src/engine/$name has no line in tools/check-layers.sh"
    status=1
  fi
done
[ $status -eq 0 ] && echo "layering: ${#uses[@]} engine layers, each including only what it may use"
exit $status
