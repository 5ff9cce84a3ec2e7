#!/usr/bin/env bash
# Checks that C++ files obey .clang-format. With a commit, only the files changed since it;
# without, every tracked source, test, benchmark and tool. Lists the files that differ and
# fails; `tools/check-format.sh --fix [COMMIT]` rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
fix=false
if [ "${1:-}" = "--fix" ]; then fix=true; shift; fi
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || { echo "check-format: clang-format is not installed" >&2; exit 2; }
if [ $# -gt 0 ]; then
  mapfile -t files < <(git diff --name-only --diff-filter=d "$1" -- '*.cpp' '*.h' | grep -v '/corpus/' || true)
else
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h' | grep -v '/corpus/')
fi
[ ${#files[@]} -gt 0 ] || exit 0
if $fix; then
  "$format" -i --style=file "${files[@]}"
  exit 0
fi
bad=()
for file in "${files[@]}"; do
  "$format" --style=file "$file" | cmp -s - "$file" || bad+=("$file")
done
if [ ${#bad[@]} -gt 0 ]; then
  printf 'check-format: not in the house style (tools/check-format.sh --fix):\n' >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files in the house style"
