#!/usr/bin/env bash
# clang-tidy with the project's .clang-tidy over every .cpp file of src/,
# using the build's compile commands. Exits 1 on any finding, and also when
# clang-tidy itself fails (a file that does not compile, a missing compile
# database, a crash): a run that checked nothing never passes.
#   tools/lint.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
if [ ! -f "$build/compile_commands.json" ]; then
  echo "lint: $build/compile_commands.json is missing (build first)" >&2
  exit 1
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
mapfile -d '' files < <(find src -name '*.cpp' -print0 | sort -z)
status=0
printf '%s\0' "${files[@]}" |
  xargs -0 -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet >"$log" 2>&1 || status=$?
findings=$(grep -cE '(warning|error):' "$log" || true)
if [ "$findings" -gt 0 ]; then
  grep -E -A3 '(warning|error):' "$log"
  echo "lint: $findings findings in ${#files[@]} files"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  cat "$log"
  echo "lint: clang-tidy failed (status $status)"
  exit 1
fi
echo "lint: no findings in ${#files[@]} files"
