#!/usr/bin/env bash
# Compares the folder search with find(1) over the same tree and mask.
#   bench/compare_find.sh [BUILD_DIR] [TREE]
set -euo pipefail
build=${1:-build}
tree=${2:-/usr}
entries=$(find "$tree" 2>/dev/null | wc -l)
echo "tree: $tree ($entries entries)"
best_find=999999
for _ in 1 2 3; do
  t0=$(date +%s%N)
  n=$(find "$tree" \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.cpl' -o -iname '*.scr' -o -iname '*.icl' \
      -o -iname '*.ocx' -o -iname '*.ico' -o -iname '*.nil' -o -iname '*.bmp' \) 2>/dev/null | wc -l)
  t1=$(date +%s%N)
  ms=$(( (t1 - t0) / 1000000 ))
  [ "$ms" -lt "$best_find" ] && best_find=$ms
done
echo "find: $n matches, best of 3: ${best_find} ms"
out=$("$build/bin/bench_search" --rounds 3 "$tree")
echo "$out"
ours=$(echo "$out" | sed -n 's/.*: \([0-9.]*\) s$/\1/p')
awk -v f="$best_find" -v o="$ours" 'BEGIN { printf "ratio search / find: %.2f (limit 1.20)\n", (o * 1000) / f }'
