#!/bin/bash
# Check that every C++ source and header of the project is laid out as
# .clang-format says; list the files that are not. `--fix` rewrites them.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null || bash scripts/setup.sh

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" 2>/dev/null || bad+=("$f")
done
if ((${#bad[@]})); then
  echo "Not laid out as .clang-format says (scripts/check_format.sh --fix rewrites them):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "Every source file is laid out as .clang-format says."
