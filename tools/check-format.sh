#!/usr/bin/env bash
# tools/check-format.sh: fails, naming the files and the command that fixes
# them, when a C++ file of the tree is not as clang-format 14 lays it out with
# the repository's .clang-format. Build folders are not part of the tree.
set -euo pipefail
cd "$(dirname "$0")/.."

fmt=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$fmt" ]; then
  echo "check-format: clang-format 14 is not installed (tools/install-deps.sh installs it)" >&2
  exit 1
fi
version=$("$fmt" --version)
case $version in
  *"version 14."*) ;;
  *)
    echo "check-format: clang-format 14 is needed, found: $version" >&2
    exit 1
    ;;
esac

# The tracked files and new ones git does not ignore (so not /build*/).
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- \
  '*.cpp' '*.h' '*.cc' '*.hpp' '*.cxx' | sort -u)
present=()
for f in "${files[@]}"; do [ -f "$f" ] && present+=("$f"); done
# One run over every file; each misformatted line is reported as
# "FILE:LINE:COLUMN: error: code should be clang-formatted".
status=0
report=$("$fmt" --dry-run --Werror "${present[@]}" 2>&1) || status=$?
mapfile -t bad < <(printf '%s\n' "$report" |
  sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ "$status" -ne 0 ] && [ ${#bad[@]} -eq 0 ]; then
  printf '%s\n' "$report" >&2
  echo "check-format: clang-format failed (status $status)" >&2
  exit 1
fi

if [ ${#bad[@]} -gt 0 ]; then
  echo "check-format: ${#bad[@]} of ${#present[@]} C++ files are not clang-format 14 clean:" >&2
  printf '  %s\n' "${bad[@]}" >&2
  echo "Fix them from the repository's top folder with:" >&2
  echo "  $(basename "$fmt") -i ${bad[*]}" >&2
  exit 1
fi
echo "check-format: ${#present[@]} C++ files are clang-format 14 clean"
