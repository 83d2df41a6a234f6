#!/usr/bin/env bash
# Compares, per file, extracting every icon with Vextral against `wrestool -x -t14`
# over a folder of real Windows DLLs (default: the PE DLLs of Debian's libwine).
#   bench/compare_wrestool.sh [BUILD_DIR] [DLL_DIR]
set -euo pipefail
build=${1:-build}
dir=${2:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
mapfile -t files < <(find "$dir" -maxdepth 1 -type f \( -name '*.dll' -o -name '*.exe' -o -name '*.cpl' -o -name '*.ocx' \) | sort)
n=${#files[@]}
[ "$n" -gt 0 ] || { echo "no DLLs in $dir (make deps-bench installs libwine)"; exit 1; }
echo "folder: $dir ($n files)"

# Vextral's engine in one process: open + count + every icon + its .ico bytes.
"$build/bin/bench_extract" --rounds 5 "${files[@]}" | tee /tmp/vextral-bench-engine.txt
engine_us=$(sed -n 's/.*per-file \([0-9.]*\) us.*/\1/p' /tmp/vextral-bench-engine.txt)

ns() { date +%s%N; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# wrestool, one run per file as it is used.
t0=$(ns)
for f in "${files[@]}"; do wrestool -x -t14 "$f" > "$out/w.bin" 2>/dev/null || true; done
t1=$(ns)
wrestool_us=$(( (t1 - t0) / 1000 / n ))

# vextral-cli, one run per file, writing each icon's .ico file.
t0=$(ns)
for f in "${files[@]}"; do "$build/bin/vextral-cli" icons --extract "$out/x" "$f" > /dev/null 2>&1 || true; done
t1=$(ns)
cli_us=$(( (t1 - t0) / 1000 / n ))

# Counts must agree with wrestool's list of icon groups.
mismatch=0
for f in "${files[@]}"; do
  w=$(wrestool -l -t14 "$f" 2>/dev/null | grep -c -- '--type=14' || true)
  v=$("$build/bin/vextral-cli" icons "$f" 2>/dev/null | sed -n '1s/.*: \([0-9]*\) icons\{0,1\}.*/\1/p')
  if [ "${w:-0}" != "${v:-0}" ]; then echo "count differs: $f wrestool=$w vextral=$v"; mismatch=$((mismatch + 1)); fi
done

echo "per file: wrestool -x -t14 ${wrestool_us} us; vextral engine ${engine_us} us; vextral-cli icons --extract ${cli_us} us"
awk -v w="$wrestool_us" -v e="$engine_us" -v c="$cli_us" 'BEGIN { printf "speed-up: engine %.1fx, cli process %.1fx\n", w / e, w / c }'
echo "count mismatches: $mismatch of $n"
