#!/usr/bin/env bash
# Builds everything with the release preset and runs the main job: packs sample data (the
# library's own sources) into an archive, lists it, tests it and extracts it again, and checks
# that the extracted tree equals the original.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset release -G Ninja
cmake --build --preset release -j "${QVX_JOBS:-2}"

qvx="$PWD/build/release/tools/qvx/qvx"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/sample"
cp -R instcompress "$work/sample/"
cp README.md "$work/sample/"

echo
echo "==> qvx create demo.spis (LH5)"
if ! "$qvx" create -C "$work/sample" "$work/demo.spis" . 2>"$work/err"; then
  if grep -q "not available in this build" "$work/err"; then
    cat "$work/err"
    echo "    (this build has no LH5 compressor yet: storing the files instead)"
    "$qvx" create -m non -C "$work/sample" "$work/demo.spis" .
  else
    cat "$work/err" >&2
    exit 1
  fi
fi
echo "==> qvx list demo.spis"
"$qvx" list "$work/demo.spis"
echo "==> qvx test demo.spis"
"$qvx" test "$work/demo.spis" | tail -n 1
echo "==> qvx extract -C out demo.spis"
"$qvx" extract -C "$work/out" "$work/demo.spis"
diff -r "$work/sample" "$work/out"
echo "==> the extracted tree equals the original: demo passed"
