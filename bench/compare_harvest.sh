#!/usr/bin/env bash
# Harvest + save every icon as PNG from a folder of real Windows DLLs, against
# wrestool -x -t14 followed by icotool -x -w 32 per file.
#   bench/compare_harvest.sh [BUILD_DIR] [DLL_DIR]
set -euo pipefail
build=${1:-build}
dir=${2:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
ns() { date +%s%N; }
mapfile -t files < <(find "$dir" -maxdepth 1 -type f -iname '*.dll' | sort)
echo "folder: $dir (${#files[@]} DLLs)"

t0=$(ns)
"$build/bin/vextral-cli" harvest --settings /dev/null --types dll --no-subfolders "$dir" \
  --save-all "$out/vextral" --type png | tail -n 2
t1=$(ns)
ours=$(( (t1 - t0) / 1000000 ))

t0=$(ns)
mkdir -p "$out/ico" "$out/png"
for f in "${files[@]}"; do
  rm -f "$out/ico"/*
  wrestool -x -t14 -o "$out/ico" "$f" 2>/dev/null || true
  for i in "$out/ico"/*; do [ -e "$i" ] && icotool -x -w 32 -o "$out/png" "$i" 2>/dev/null || true; done
done
t1=$(ns)
theirs=$(( (t1 - t0) / 1000000 ))
echo "vextral-cli harvest --save-all --type png: ${ours} ms; wrestool + icotool: ${theirs} ms ($(ls "$out/png" | wc -l) PNGs)"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "speed-up: %.1fx (needs 5x)\n", b / a }'
