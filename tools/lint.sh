#!/usr/bin/env bash
# clang-tidy with the project's .clang-tidy over every .cpp file of src/;
# prints the findings and exits 1 when there are any.
#   tools/lint.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
find src -name '*.cpp' -print0 | xargs -0 -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null >"$log" || true
if grep -E 'warning:|error:' "$log"; then
  echo "lint: $(grep -cE 'warning:|error:' "$log") findings"
  exit 1
fi
echo "lint: no findings"
