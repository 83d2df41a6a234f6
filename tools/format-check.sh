#!/usr/bin/env bash
# Fails when any C++ file of src/, tests/ or bench/ differs from what
# .clang-format makes of it (`make format` applies it).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files as .clang-format wants them"
