#!/usr/bin/env bash
# Compares `vextral-cli convert` with ImageMagick's `convert` doing the same
# conversions of one 12-megapixel photograph-like picture (4000 x 3000: a
# plasma fractal with Gaussian grain, as an 8-bit PNG and as a JPEG of
# quality 90):
# PNG to GIF, BMP, PCX and TGA, JPEG to PNG. Each is run three times; the
# best time and the smallest peak memory ("Maximum resident set size" of
# /usr/bin/time -v) count.
#   bench/compare_convert.sh [BUILD_DIR]
# Fails unless ours is at least 5 times as fast for PNG to GIF and no slower
# for the others, and never needs more memory.
set -euo pipefail
build=${1:-build}
cli="$build/bin/vextral-cli"
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "making the 4000 x 3000 picture ..."
"$convert" -seed 7 -size 4000x3000 plasma:fractal -attenuate 0.4 +noise Gaussian -depth 8 "$work/photo.png"
"$convert" "$work/photo.png" -quality 90 "$work/photo.jpg"
echo "photo.png $(stat -c %s "$work/photo.png") bytes, photo.jpg $(stat -c %s "$work/photo.jpg") bytes"

# Runs a command; prints "milliseconds peak-kilobytes".
run_once() {
    if [ -x /usr/bin/time ]; then
        local t0 t1
        t0=$(date +%s%N)
        /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null
        t1=$(date +%s%N)
        echo "$(( (t1 - t0) / 1000000 )) $(sed -n 's/^\s*Maximum resident set size (kbytes): //p' "$work/time.txt")"
    else # the same figures from the kernel, through Python
        /usr/bin/python3 -c '
import resource, subprocess, sys, time
t = time.perf_counter()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
print(round((time.perf_counter() - t) * 1000), resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"
    fi
}

# Best time and smallest peak of three runs.
measure() {
    local best_ms=999999999 best_kb=999999999 ms kb
    for _ in 1 2 3; do
        read -r ms kb < <(run_once "$@")
        [ "$ms" -lt "$best_ms" ] && best_ms=$ms
        [ "$kb" -lt "$best_kb" ] && best_kb=$kb
    done
    echo "$best_ms $best_kb"
}

status=0
printf '%-12s %12s %12s %8s %14s %14s\n' conversion "ours ms" "IM ms" speed-up "ours peak KB" "IM peak KB"
compare() { # name input output-extension needed-speed-up
    local name=$1 input=$2 ext=$3 need=$4 ours im
    ours=$(measure "$cli" convert "$work/$input" --to "$work/ours.$ext")
    im=$(measure "$convert" "$work/$input" "$work/im.$ext")
    read -r ours_ms ours_kb <<<"$ours"
    read -r im_ms im_kb <<<"$im"
    local verdict
    verdict=$(awk -v o="$ours_ms" -v i="$im_ms" -v ok="$ours_kb" -v ik="$im_kb" -v n="$need" \
        'BEGIN { r = i / (o > 0 ? o : 1); printf "%.2f", r; exit !(r >= n && ok <= ik) }') && ok=1 || ok=0
    printf '%-12s %12s %12s %7sx %14s %14s' "$name" "$ours_ms" "$im_ms" "$verdict" "$ours_kb" "$im_kb"
    if [ "$ok" = 1 ]; then
        echo
    else
        echo "  FAILS (needs ${need}x and no more memory)"
        status=1
    fi
}
compare "PNG -> GIF" photo.png gif 5
compare "PNG -> BMP" photo.png bmp 1
compare "PNG -> PCX" photo.png pcx 1
compare "PNG -> TGA" photo.png tga 1
compare "JPEG -> PNG" photo.jpg png 1
exit $status
