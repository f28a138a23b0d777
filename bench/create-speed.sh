#!/usr/bin/env bash
# Times `qvx create` on a tree of many files with one worker and with one per processor, against
# `tar | gzip -6` on the same tree (median wall time of RUNS runs, whole process). The tree is 16
# files of 2 MiB: 8 pieces of the text corpus and 8 of the binary corpus. Checks that both archives
# are the same bytes and that they test clean. qvx flushes its archive to disk before renaming it
# into place (fsync); tar and gzip do not, so qvx's figures include that flush. Prints a Markdown
# table.
#
#   bench/create-speed.sh [RUNS]     (default: 5 runs)
set -euo pipefail
runs=${1:-5}
source "$(dirname "$0")/common.sh"
build_release qvx
qvx=$root/build/release/tools/qvx/qvx
make_corpora $((32 * 1024 * 1024))
mkdir "$tmp/tree"
for name in text binary; do
  for i in 0 1 2 3 4 5 6 7; do
    dd if="$corpus/$name.bin" of="$tmp/tree/$name$i" bs=1M skip=$((i * 2)) count=2 status=none
  done
done
bytes=$(du -cb "$tmp"/tree/* | tail -1 | cut -f1)
jobs=$(nproc)

# median_wall CMD...: runs CMD RUNS times and prints the median wall time in seconds.
median_wall() {
  local walls=() i start end
  for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    "$@"
    end=$EPOCHREALTIME
    walls+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
  done
  printf '%s\n' "${walls[@]}" | median
}

one=$(median_wall "$qvx" -q create -j 1 -C "$tmp/tree" "$tmp/one.spis" .)
many=$(median_wall "$qvx" -q create -j "$jobs" -C "$tmp/tree" "$tmp/many.spis" .)
gz=$(median_wall sh -c "tar -C '$tmp/tree' -cf - . | gzip -6 > '$tmp/tree.tgz'")
cmp -s "$tmp/one.spis" "$tmp/many.spis" || { echo "archives differ" >&2; exit 1; }
"$qvx" -q test "$tmp/many.spis" > /dev/null

row() {  # label seconds size
  awk -v l="$1" -v t="$2" -v s="$3" -v b="$bytes" -v g="$gz" \
    'BEGIN { printf "| %s | %.2f | %.1f | %.2f | %.2f |\n", l, t, b / 1048576 / t, g / t, s / b }'
}
echo "16 files, $((bytes / 1048576)) MiB, $jobs processors, median of $runs runs"
echo
echo "| run | wall time (s) | MB/s | speed against tar \| gzip -6 | compressed/original |"
echo "|---|---:|---:|---:|---:|"
row "qvx create -j 1 (LH5)" "$one" "$(stat -c %s "$tmp/one.spis")"
row "qvx create -j $jobs (LH5)" "$many" "$(stat -c %s "$tmp/many.spis")"
row "tar \| gzip -6" "$gz" "$(stat -c %s "$tmp/tree.tgz")"
