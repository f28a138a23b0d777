#!/usr/bin/env bash
# Peak resident memory (/usr/bin/time %M) and time of qvx list and list --json on archives of many
# small entries, read from the file and from a pipe: listings are written entry by entry, so the
# figures must not grow with the number of entries. Prints a Markdown table.
#
#   [QVX=path] bench/list-memory.sh [ENTRIES...]    (default: 100000 500000)
set -euo pipefail
counts=("$@")
((${#counts[@]})) || counts=(100000 500000)
source "$(dirname "$0")/common.sh"
[ -n "${QVX:-}" ] || build_release qvx  # QVX=path measures that qvx binary instead of building one
qvx=${QVX:-$root/build/release/tools/qvx/qvx}

# make_archive N FILE: an archive of N stored entries "dir\entryNNNNNN" of one byte each.
make_archive() {
  perl -e '
    my ($n) = @ARGV;
    binmode STDOUT;
    print "SPIS\x1ANON", pack("l<", $n), "\x01", pack("V V", 0, 0);
    for my $i (0 .. $n - 1) {
      my $name = sprintf("dir\\entry%06d", $i);
      print pack("s< v v v l< l< C V V", length($name), 0x6000, 0x5A31, 0x20, 1, 1, 0, 0x78, 0), $name, "x";
    }' "$1" > "$2"
}

# measure CMD...: "peak MB, seconds" of CMD, its output thrown away.
measure() {
  /usr/bin/time -f '%M %e' -o "$tmp/time" "$@" > /dev/null
  awk '{ printf "%.1f MB, %.2f s", $1 / 1024, $2 }' "$tmp/time"
}

echo "| entries | archive | list | list --json | list --json from a pipe |"
echo "|---:|---:|---:|---:|---:|"
for n in "${counts[@]}"; do
  make_archive "$n" "$tmp/many.spis"
  "$qvx" test "$tmp/many.spis" | tail -1 | grep -q "All $n entries OK" || { echo "the archive of $n entries is not whole" >&2; exit 1; }
  size=$(awk -v b="$(stat -c %s "$tmp/many.spis")" 'BEGIN { printf "%.1f MB", b / 1048576 }')
  plain=$(measure "$qvx" list "$tmp/many.spis")
  json=$(measure "$qvx" list --json "$tmp/many.spis")
  piped=$(measure sh -c "cat '$tmp/many.spis' | '$qvx' list --json -")
  echo "| $n | $size | $plain | $json | $piped |"
done
