#!/usr/bin/env bash
# Checks the engine's layering: each folder of src/engine includes only its
# own headers and those of the folders before it in the list below, and no
# engine file includes a Qt header. Prints every offending line; exit 1 if any.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
layers=(core settings codecs platform harvest export desktop net)
status=0
for ((i = 0; i < ${#layers[@]}; ++i)); do
  layer=${layers[$i]}
  allowed=" ${layers[*]:0:$((i + 1))} "
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
    if [[ "$allowed" != *" $target "* ]]; then
      echo "layering: ${file#$root/} ($layer) includes $target: ${line#*:}"
      status=1
    fi
  done < <(grep -HE '^#include "[^"]+/' "$root/src/engine/$layer"/* || true)
  if grep -HnE '^#include <Q' "$root/src/engine/$layer"/*; then
    echo "layering: the engine includes Qt"
    status=1
  fi
done
[ $status -eq 0 ] && echo "layering: ${#layers[@]} engine layers, no include upwards"
exit $status
