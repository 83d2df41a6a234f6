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
# The icon reader starts from the test fixtures too.
if [ "$name" = icon_source ]; then
  cp "$root"/tests/fixtures/*.{dll,ico,cur,ani,bmp,icl,nil} "$work"/ 2>/dev/null || true
fi
jobs=${FUZZ_JOBS:-$(nproc)}
# A crash or timeout stops the fuzzer; what it learnt until then is still merged.
# libFuzzer writes its job logs (fuzz-N.log) into the current folder: keep them out of the tree.
fuzzer=$(realpath "$fuzzer")
mkdir -p "$work.logs"
cd "$work.logs"
status=0
"$fuzzer" "$work" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$crashes/" -jobs="$jobs" -workers="$jobs" -print_final_stats=1 > "$work.log" 2>&1 || status=$?
cat "$work.logs"/fuzz-*.log 2>/dev/null | grep -E '^stat::|ERROR|SUMMARY' | head -n 40
tail -n 5 "$work.log"
mkdir -p "$work.min"
"$fuzzer" -merge=1 "$work.min" "$work" > /dev/null 2>&1
rm -rf "$corpus" && mv "$work.min" "$corpus"
echo "corpus: $(ls "$corpus" | wc -l) files, $(du -sh "$corpus" | cut -f1); crashes: $(ls "$crashes" | grep -vc '^.gitkeep$')"
exit "$status"
