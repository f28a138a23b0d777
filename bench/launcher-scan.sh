#!/usr/bin/env bash
# Shows that the launcher's work does not grow with the data it carries: builds two setup files
# that differ only in the size of their second block (1 MiB and 200 MiB of incompressible data,
# stored), runs the launcher on each with a do-nothing engine, and reports for the launcher
# process alone (not the engine it starts): wall time, the bytes it read from the setup file, its
# read calls, and its peak resident memory.
#
#   bench/launcher-scan.sh [BUILD_DIR]     (default build/release; Setup and qvx are built there)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
cd "$root"
if [ "$build" = "$root/build/release" ]; then
  cmake --preset release -G Ninja > /dev/null
  cmake --build --preset release --target qvx Setup -j2 > /dev/null
fi
qvx=$build/tools/qvx/qvx
setup=$build/launcher/Setup
command -v strace > /dev/null || { echo "strace is needed" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf '#!/bin/sh\nexit 0\n' > "$tmp/engine"
chmod +x "$tmp/engine"

echo "| second block | setup file (bytes) | launcher wall time (s) | bytes read from the setup file | read calls on it | peak RSS (MB) |"
echo "|---|---:|---:|---:|---:|---:|"
for mib in 1 200; do
  mkdir -p "$tmp/data$mib"
  head -c $((mib * 1024 * 1024)) /dev/urandom > "$tmp/data$mib/payload.bin"
  "$qvx" -q create -m non "$tmp/data$mib.qvx" -C "$tmp/data$mib" payload.bin
  "$qvx" -q setup build -l "$setup" -e "$tmp/engine" -a "$tmp/data$mib.qvx" -m lh5 -o "$tmp/setup$mib"
  size=$(stat -c %s "$tmp/setup$mib")
  # The launcher's own reads: every read/pread on the descriptors opened on the setup file.
  TMPDIR=$tmp strace -o "$tmp/trace$mib" -e trace=openat,read,pread64,close "$tmp/setup$mib" 2> /dev/null || true
  read -r bytes calls < <(awk -v f="$tmp/setup$mib" '
    /^openat\(/ { if (index($0, "\"" f "\"")) fd[$NF + 0] = 1; next }
    { split($0, a, /[(,)]/); d = a[2] + 0 }
    /^close\(/ { delete fd[d]; next }
    /^(read|pread64)\(/ { if (d in fd) { if ($NF + 0 > 0) b += $NF; c++ } }
    END { print b + 0, c + 0 }' "$tmp/trace$mib")
  /usr/bin/time -f '%e %M' -o "$tmp/time" env TMPDIR="$tmp" "$tmp/setup$mib" 2> /dev/null || true
  read -r t m < "$tmp/time"
  echo "| $mib MiB | $size | $t | $bytes | $calls | $(awk -v k="$m" 'BEGIN { printf "%.2f", k / 1024 }') |"
done
