#!/usr/bin/env bash
# Peak resident memory (/usr/bin/time %M) of qvx compress (for LH5 also with -j 2, one stream on two
# threads), expand, create and extract, for LH5 and LZH, on a small and a large input: the figures
# must not grow with the input (all streams go through 8 KB blocks; the threaded LH5 encoder keeps
# at most one chunk of its input more than it has threads). Prints a Markdown table.
#
#   [QVX=path] bench/memory.sh [SMALL_MIB] [LARGE_MIB]    (defaults: 1 and 256)
set -euo pipefail
small=${1:-1}
large=${2:-256}
source "$(dirname "$0")/common.sh"
[ -n "${QVX:-}" ] || build_release qvx  # QVX=path measures that qvx binary instead of building one
qvx=${QVX:-$root/build/release/tools/qvx/qvx}

# peak CMD...: peak resident memory of CMD in MB
peak() {
  /usr/bin/time -f '%M' -o "$tmp/time" "$@" > /dev/null
  awk '{ printf "%.2f", $1 / 1024 }' "$tmp/time"
}

# Input: a few repeated lines with varying numbers (compresses quickly), the given size.
make_input() {
  awk 'BEGIN { srand(7); for (i = 0; ; i++) printf "line %d of the memory test, value %d\n", i, int(rand() * 100000) }' \
    | head -c $(($1 * 1024 * 1024)) > "$2" || true
}

echo "| input | method | compress | compress -j 2 | expand | create | extract |"
echo "|---|---|---:|---:|---:|---:|---:|"
for mib in "$small" "$large"; do
  dir=$tmp/in$mib
  mkdir -p "$dir"
  make_input "$mib" "$dir/data.txt"
  bytes=$(stat -c %s "$dir/data.txt")
  for m in lh5 lzh; do
    c=$(peak "$qvx" -q compress -m "$m" "$dir/data.txt" "$tmp/packed")
    j=-
    if [ "$m" = lh5 ]; then
      j=$(peak "$qvx" -q compress -m "$m" -j 2 "$dir/data.txt" "$tmp/packed2")
      cmp -s "$tmp/packed" "$tmp/packed2" || { echo "-j 2 changed the compressed bytes" >&2; exit 1; }
    fi
    e=$(peak "$qvx" -q expand -m "$m" -s "$bytes" "$tmp/packed" "$tmp/unpacked")
    cmp -s "$tmp/unpacked" "$dir/data.txt" || { echo "round trip failed" >&2; exit 1; }
    cr=$(peak "$qvx" -q create -m "$m" "$tmp/archive.qvx" -C "$dir" data.txt)
    rm -rf "$tmp/out"
    mkdir -p "$tmp/out"
    x=$(peak "$qvx" -q extract "$tmp/archive.qvx" -C "$tmp/out")
    cmp -s "$tmp/out/data.txt" "$dir/data.txt" || { echo "archive round trip failed" >&2; exit 1; }
    echo "| $mib MiB | $m | $c | $j | $e | $cr | $x |"
    rm -f "$tmp/packed" "$tmp/packed2" "$tmp/unpacked" "$tmp/archive.qvx"
  done
  rm -rf "$dir"
done
