#!/usr/bin/env bash
# Times vextral-thumbnailer against the icoutils way of getting the same
# picture from a Windows DLL: `wrestool -x -t14` (every icon group to .ico
# files), then `icotool -x` of the largest image of the first group. The
# icotool index is found once, outside the timing, so icoutils is timed at
# its fastest. Default file: Wine's shell32.dll (Debian package libwine).
#   bench/compare_thumbnailer.sh [BUILD_DIR] [FILE] [ROUNDS]
set -euo pipefail
build=${1:-build}
file=${2:-$(dpkg -L libwine 2>/dev/null | grep '/x86_64-windows/shell32\.dll$' | head -1)}
rounds=${3:-20}
[ -n "$file" ] && [ -f "$file" ] || { echo "no shell32.dll (make bench installs libwine)"; exit 1; }
thumbnailer="$build/bin/vextral-thumbnailer"
echo "file: $file ($rounds rounds)"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
ns() { date +%s%N; }

# The first group wrestool writes, and its largest image.
mkdir "$out/w"
wrestool -x -t14 -o "$out/w" "$file"
first=$(wrestool -l -t14 "$file" | sed -n "1s/.*--name='\\{0,1\\}\\([^ ']*\\).*/\\1/p")
ico=$(cd "$out/w" && ls -- *"_14_${first}_"*.ico 2>/dev/null | sed -n 1p)
[ -n "$ico" ] || { echo "wrestool wrote no file for the first icon ($first)"; exit 1; }
best=$(icotool -l "$out/w/$ico" | awk '{ for (i = 1; i <= NF; i++) { if ($i ~ /^--index=/) { split($i, a, "="); idx = a[2] } if ($i ~ /^--width=/) { split($i, b, "="); w = b[2] } } if (w + 0 > max) { max = w + 0; best = idx } } END { print best " " max }')
index=${best% *}
side=${best#* }
echo "largest image of the first icon ($ico): index $index, ${side} x ${side}"

t0=$(ns)
for _ in $(seq "$rounds"); do
  rm -rf "$out/r" && mkdir "$out/r"
  wrestool -x -t14 -o "$out/r" "$file"
  icotool -x --index="$index" -o "$out/r/icon.png" "$out/r/$ico"
done
t1=$(ns)
icoutils_us=$(( (t1 - t0) / 1000 / rounds ))

t0=$(ns)
for _ in $(seq "$rounds"); do
  "$thumbnailer" -s "$side" "$file" "$out/thumb.png"
done
t1=$(ns)
vextral_us=$(( (t1 - t0) / 1000 / rounds ))

file "$out/r/icon.png" "$out/thumb.png" | sed "s|$out/||"
echo "pixels that differ from icotool's picture: $(compare -metric AE "$out/r/icon.png" "$out/thumb.png" null: 2>&1 || true)"
echo "per run: wrestool -x -t14 + icotool -x ${icoutils_us} us; vextral-thumbnailer -s ${side} ${vextral_us} us"
awk -v a="$icoutils_us" -v b="$vextral_us" 'BEGIN { r = a / b; printf "speed-up: %.1fx (required: 5x)\n", r; exit (r >= 5 ? 0 : 1) }'
