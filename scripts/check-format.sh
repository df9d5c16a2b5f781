#!/usr/bin/env bash
# Checks that every C++ file is written as .clang-format says, and names the
# ones that are not. With --fix, formats them instead.
# Usage: scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(find app bench cli device docs fuzz link model pages protocol publish resources sim storage tests widgets \
  -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/quorvel-format.$$; then
  grep -E '^[^ :]+:[0-9]+:[0-9]+: error' /tmp/quorvel-format.$$ | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
  rm -f /tmp/quorvel-format.$$
  echo "check-format: run scripts/check-format.sh --fix" >&2
  exit 1
fi
rm -f /tmp/quorvel-format.$$
echo "check-format: ${#files[@]} files as .clang-format writes them"
