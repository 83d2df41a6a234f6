#!/usr/bin/env bash
# Compares the GIF writer with ImageMagick's quantise-and-write of the same
# 12-megapixel picture, and our LZW encoder with giflib's on the same indices.
#   bench/compare_gif.sh [BUILD_DIR]
# Fails unless ours is at least 3 times as fast as ImageMagick and the encoder
# at least as fast as giflib's; then bench_gif_quality's icons (see there).
set -euo pipefail
build=${1:-build}
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$("$build/bin/bench_gif" --rounds 3 --ppm "$work/in.ppm")
echo "$out"
best_im=999999
for _ in 1 2; do
  t0=$(date +%s%N)
  "$convert" "$work/in.ppm" -colors 256 "$work/im.gif"
  t1=$(date +%s%N)
  ms=$(( (t1 - t0) / 1000000 ))
  [ "$ms" -lt "$best_im" ] && best_im=$ms
done
echo "ImageMagick $("$convert" -version | sed -n 's/^Version: ImageMagick \([^ ]*\).*/\1/p') -colors 256: best of 2: ${best_im} ms, $(stat -c %s "$work/im.gif") bytes"
ours=$(echo "$out" | sed -n 's/^gif writer.*: \([0-9.]*\) s,.*/\1/p')
status=0
awk -v im="$best_im" -v o="$ours" 'BEGIN { r = im / (o * 1000); printf "speed-up over ImageMagick: %.1fx (need 3x)\n", r; exit !(r >= 3) }' || status=1
ratio=$(echo "$out" | sed -n 's/^encoder throughput ours \/ giflib: \([0-9.]*\)$/\1/p')
if [ -n "$ratio" ]; then
  awk -v r="$ratio" 'BEGIN { printf "encoder throughput against giflib: %.2f (need 1.00)\n", r; exit !(r >= 1) }' || status=1
else
  echo "giflib not found: encoder comparison skipped (make bench installs libgif-dev)"
fi
# Colour quality on real icons: Wine's at 48 x 48 over white, ours against
# ImageMagick's -colors 256 (fails unless within 3 dB and 5 times as fast).
"$build/bin/bench_gif_quality" || status=1
exit $status
