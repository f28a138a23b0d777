#!/usr/bin/env bash
# Times `qvx extract` of many small files against `tar x` of the same tree, and `qvx extract` of an
# archive of 100,000 one-byte entries (once each: one run takes seconds). Prints a Markdown table.
#
#   bench/extract-speed.sh [RUNS]     (default: 10 runs of each)
#
# The tree: 5,000 files of 200 to 4,000 bytes of text in 50 folders, archived by qvx (LH5, the
# default) and by tar (uncompressed). Each run extracts into a new, empty directory (its removal is
# not timed); qvx and tar take turns run by run so that both see the same load, and the wall and
# CPU (user + system) times of all runs are summed: one run is far shorter than a second, and
# /usr/bin/time counts CPU time in steps of 10 ms. qvx extract does not flush its files to disk
# (as tar does not); `--sync` does, and is timed as well (on a tmpfs, TMPDIR=/dev/shm, the flush
# costs nothing and the figures show the tool's own work). The extracted trees are compared with
# the original.
set -euo pipefail
runs=${1:-10}
source "$(dirname "$0")/common.sh"
build_release qvx
qvx=$root/build/release/tools/qvx/qvx

# The trees, made once: 50 folders of 100 text files, and 100,000 files of one byte.
mkdir "$tmp/small" "$tmp/tiny"
perl -e '
  my ($dir) = @ARGV;
  my $x = 12345;
  my @words = ("setup ", "archive ", "window ", "the ", "of ", "Quorvex ", "data\n", "file ");
  for my $d (0 .. 49) {
    mkdir sprintf("%s/small/d%02d", $dir, $d) or die;
    for my $f (0 .. 99) {
      $x = ($x * 1103515245 + 12345) % 2147483648;
      my $size = 200 + $x % 3800;
      my $text = "";
      while (length $text < $size) { $x = ($x * 1103515245 + 12345) % 2147483648; $text .= $words[$x % 8]; }
      open(my $out, ">", sprintf("%s/small/d%02d/f%03d.txt", $dir, $d, $f)) or die;
      print $out substr($text, 0, $size);
    }
  }
  for my $d (0 .. 99) {
    mkdir sprintf("%s/tiny/d%02d", $dir, $d) or die;
    for my $f (0 .. 999) {
      open(my $out, ">", sprintf("%s/tiny/d%02d/f%03d", $dir, $d, $f)) or die;
      print $out chr(65 + $f % 26);
    }
  }' "$tmp"
"$qvx" -q create -C "$tmp/small" "$tmp/small.spis" .
tar -C "$tmp/small" -cf "$tmp/small.tar" .
"$qvx" -q create -m non -C "$tmp/tiny" "$tmp/tiny.spis" .
tar -C "$tmp/tiny" -cf "$tmp/tiny.tar" .

# timed NAME CMD...: runs CMD into a fresh $tmp/x and adds its wall and CPU time to NAME's sums.
declare -A wall cpu
timed() {
  local name=$1
  shift
  rm -rf "$tmp/x"
  mkdir "$tmp/x"
  /usr/bin/time -f '%e %U %S' -o "$tmp/time" "$@"
  read -r w u s < "$tmp/time"
  wall[$name]=$(awk -v a="${wall[$name]:-0}" -v b="$w" 'BEGIN { print a + b }')
  cpu[$name]=$(awk -v a="${cpu[$name]:-0}" -v b="$u" -v c="$s" 'BEGIN { print a + b + c }')
}

for ((i = 0; i < runs; i++)); do
  timed qvx "$qvx" -q extract -C "$tmp/x" "$tmp/small.spis"
  timed tar tar -C "$tmp/x" -xf "$tmp/small.tar"
  timed sync "$qvx" -q extract --sync -C "$tmp/x" "$tmp/small.spis"
done
diff -r "$tmp/small" "$tmp/x"
timed tiny "$qvx" -q extract -C "$tmp/x" "$tmp/tiny.spis"
# 100,000 files: their number and bytes are compared, diff -r would take longer than the runs.
digest() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 cat | md5sum); }
[ "$(find "$tmp/x" -type f | wc -l) $(digest "$tmp/x")" = "100000 $(digest "$tmp/tiny")" ] ||
  { echo "the 100,000 files differ" >&2; exit 1; }
timed tinytar tar -C "$tmp/x" -xf "$tmp/tiny.tar"

row() {  # label name runs
  awk -v l="$1" -v w="${wall[$2]}" -v c="${cpu[$2]}" -v n="$3" -v tw="${wall[$4]}" -v tc="${cpu[$4]}" \
    'BEGIN { printf "| %s | %d | %.3f | %.3f | %.2f | %.2f |\n", l, n, w / n, c / n, w / tw, c / tc }'
}
echo "$(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg); sums over the runs, per run below"
echo
echo "| run | runs | wall time per run (s) | CPU time per run (s) | wall against tar x | CPU against tar x |"
echo "|---|---:|---:|---:|---:|---:|"
row "qvx extract, 5,000 small files (LH5)" qvx "$runs" tar
row "qvx extract --sync, the same" sync "$runs" tar
row "tar x, the same tree" tar "$runs" tar
row "qvx extract, 100,000 one-byte entries (stored)" tiny 1 tinytar
row "tar x, the same tree" tinytar 1 tinytar
