#!/usr/bin/env bash
# tools/fuzz.sh FUZZER NAME SECONDS
# Fuzzes from the committed corpus (and, for the icon reader, the test
# fixtures), then merges the interesting inputs back into
# tests/fuzz/corpus/NAME. Crashes land in tests/fuzz/crashes/NAME, which the
# test suite replays.
set -euo pipefail
fuzzer=$1 name=$2 seconds=$3
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$root/tests/fuzz/corpus/$name
crashes=$root/tests/fuzz/crashes/$name
work=$(mktemp -d)
trap 'rm -rf "$work" "$work.min" "$work.log" "$work.logs"' EXIT
mkdir -p "$corpus" "$crashes"
cp "$corpus"/* "$work"/ 2>/dev/null || true
# Every run is bounded the same way: 2 GB of memory (and no single allocation
# above it), 10 s an input, and inputs up to max_len bytes. The icon reader's
# inputs may be 4 MiB, room for a group of 65,535 entries (917,496 bytes)
# naming a 1 MiB image; the others read small files.
limits="-rss_limit_mb=2048 -malloc_limit_mb=2048 -timeout=10"
max_len=65536
# The icon reader starts from the test fixtures too, and from small DLLs built
# to make it work beyond their size (tools/fixtures/gen_hostile_pe.py): a group
# of 300 entries naming one image, overlapping images, a broken PNG, groups
# sharing one directory and one long name.
if [ "$name" = icon_source ]; then
  max_len=4194304
  cp "$root"/tests/fixtures/*.{dll,ico,cur,ani,bmp,icl,nil} "$work"/ 2>/dev/null || true
  gen="/usr/bin/python3 $root/tools/fixtures/gen_hostile_pe.py"
  $gen "$work/hostile-entries.dll" --entries 300 --size 16
  $gen "$work/hostile-overlap.dll" --entries 300 --ids 8 --size 16
  $gen "$work/hostile-png.dll" --entries 300 --size 16 --image broken-png
  $gen "$work/hostile-groups.dll" --groups 40 --name-length 30 --entries 50 --size 16
  # and from the sources whose decoding costs far more than their bytes
  # (tools/fixtures/gen_hostile_icons.py), made small enough to mutate: icons
  # naming one tiny PNG of a huge picture, and an icon file whose entries but
  # one name one broken PNG.
  icons="/usr/bin/python3 $root/tools/fixtures/gen_hostile_icons.py"
  $icons pe "$work/hostile-budget.dll" --groups 60 --side 1024
  $icons pe "$work/hostile-budget-broken.dll" --groups 60 --side 1024 --broken
  $icons ne "$work/hostile-budget.icl" --groups 60 --side 1024
  $icons ico "$work/hostile-best.ico" --entries 2000 --side 256
fi
jobs=${FUZZ_JOBS:-$(nproc)}
# A crash or timeout stops the fuzzer; what it learnt until then is still merged.
# libFuzzer writes its job logs (fuzz-N.log) into the current folder: keep them out of the tree.
fuzzer=$(realpath "$fuzzer")
mkdir -p "$work.logs"
cd "$work.logs"
status=0
"$fuzzer" "$work" -max_total_time="$seconds" -max_len="$max_len" $limits \
  -artifact_prefix="$crashes/" -jobs="$jobs" -workers="$jobs" -print_final_stats=1 > "$work.log" 2>&1 || status=$?
# (libraries print "ERROR" lines of their own on bad input: only the fuzzer's count)
{ cat "$work.logs"/fuzz-*.log 2>/dev/null | grep -E '^stat::|==ERROR|SUMMARY' | head -n 40; } || true
tail -n 5 "$work.log"
mkdir -p "$work.min"
"$fuzzer" -merge=1 -max_len="$max_len" $limits "$work.min" "$work" > /dev/null 2>&1
rm -rf "$corpus" && mv "$work.min" "$corpus"
echo "corpus: $(ls "$corpus" | wc -l) files, $(du -sh "$corpus" | cut -f1); crashes: $(ls "$crashes" | grep -vc '^.gitkeep$')"
exit "$status"
