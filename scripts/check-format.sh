#!/usr/bin/env bash
# Checks that every C++ file git knows in src tools tests bench fuzz is laid out
# as .clang-format says; lists the files that are not and exits 1.
# Fix one with: clang-format -i FILE
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' \
    'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
if [ "${#files[@]}" -eq 0 ]; then
    echo "check-format: no files" >&2
    exit 1
fi
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ "${#bad[@]}" -gt 0 ]; then
    printf 'check-format: not formatted: %s\n' "${bad[@]}" >&2
    echo "check-format: ${#bad[@]} of ${#files[@]} files differ from .clang-format" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files as .clang-format says"
