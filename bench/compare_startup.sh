#!/usr/bin/env bash
# Times the start of vextral-cli against wrestool's: `vextral-cli icons FILE`
# (the icons of one program listed) and `wrestool -l FILE` (its resources
# listed), ROUNDS runs each, taken in turns so that both see the same load.
# Each run's wall time is read from bash's own clock ($EPOCHREALTIME), so no
# helper program is started inside the timing. Fails when vextral-cli's
# median is more than 1.2 times wrestool's median.
#   bench/compare_startup.sh [BUILD_DIR] [FILE] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
# A real Windows program by default: Wine's notepad.exe (package libwine, of
# the bench group), else the small test DLL. On that DLL the two programs'
# work is next to nothing, and what is left is loading the C++ runtime,
# libpng and libjpeg, which wrestool (C, libc alone) does not: about twice
# wrestool's time, where a program of some size takes about the same.
notepad=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe
default=$root/tests/fixtures/icons64.dll
[ -f "$notepad" ] && default=$notepad
file=${2:-$default}
rounds=${3:-100}
cli="$build/bin/vextral-cli"
[ -x "$cli" ] || { echo "no $cli"; exit 1; }
[ -f "$file" ] || { echo "no $file"; exit 1; }
command -v wrestool > /dev/null || { echo "no wrestool (make bench installs icoutils)"; exit 1; }
echo "file: $file ($rounds runs each)"

# Both must succeed on the file, or the timing means nothing.
wrestool -l "$file" > /dev/null
"$cli" icons "$file" > /dev/null

# Microseconds of one run of the command.
run_us() {
  local t0 t1
  t0=$EPOCHREALTIME
  "$@" > /dev/null 2>&1 || true
  t1=$EPOCHREALTIME
  echo $(( (${t1/./} - ${t0/./}) ))
}

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# A few runs first, so that both programs and their libraries are in the
# page cache.
for _ in 1 2 3 4 5; do run_us wrestool -l "$file" > /dev/null; run_us "$cli" icons "$file" > /dev/null; done
for _ in $(seq "$rounds"); do
  run_us wrestool -l "$file" >> "$out/wrestool"
  run_us "$cli" icons "$file" >> "$out/vextral"
done

# "median mean min" of a file of numbers.
stats() { sort -n "$1" | awk '{ v[NR] = $1; s += $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%d %d %d\n", m, s / NR, v[1] }'; }
read -r w_median w_mean w_min < <(stats "$out/wrestool")
read -r v_median v_mean v_min < <(stats "$out/vextral")
echo "wrestool -l:       median ${w_median} us, mean ${w_mean} us, fastest ${w_min} us"
echo "vextral-cli icons: median ${v_median} us, mean ${v_mean} us, fastest ${v_min} us"
awk -v v="$v_median" -v w="$w_median" 'BEGIN { r = v / w; printf "vextral-cli / wrestool (medians): %.2f (required: at most 1.2)\n", r; exit (r <= 1.2 ? 0 : 1) }'
