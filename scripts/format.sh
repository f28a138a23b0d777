#!/usr/bin/env bash
# Formats the C++ sources with clang-format 14 in the style of .clang-format: every *.cpp and *.h
# of instcompress/, launcher/, tools/, tests/, fuzz/, bench/ and examples/, except fuzz/reference/
# (the frozen copy of the LH5 encoder, kept byte for byte as it was taken).
# Usage: scripts/format.sh           rewrite the files in place
#        scripts/format.sh --check   change nothing; list every line that differs, exit 1 if any does
# CLANG_FORMAT names the program (default clang-format-14: another version formats differently).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=apply
case "${1:-}" in
  "") ;;
  --check) mode=check ;;
  *) echo "format.sh: unknown argument '$1' (usage: scripts/format.sh [--check])" >&2; exit 2 ;;
esac

clang_format=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$clang_format" >/dev/null; then
  echo "format.sh: $clang_format not found (scripts/install-deps.sh test installs it)" >&2
  exit 2
fi

files=()
while IFS= read -r -d '' f; do files+=("$f"); done < <(
  find instcompress launcher tools tests fuzz bench examples -path fuzz/reference -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | LC_ALL=C sort -z)

if [ "$mode" = check ]; then
  # Two at a time; --Werror turns every "code should be clang-formatted" note into a failure.
  if ! printf '%s\0' "${files[@]}" | xargs -0 -n 40 -P 2 "$clang_format" --style=file --dry-run --Werror; then
    echo "format.sh: the files above are not formatted; scripts/format.sh formats them" >&2
    exit 1
  fi
  echo "format.sh: ${#files[@]} files formatted"
else
  printf '%s\0' "${files[@]}" | xargs -0 -n 40 -P 2 "$clang_format" --style=file -i
fi
