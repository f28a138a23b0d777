#!/usr/bin/env bash
# Measures qvx's LH5 and LZH codecs against gzip on the benchmark corpora, in one run on one machine:
# whole-process times (median of RUNS runs) as wall time and as CPU time (user + system), the
# throughput in MB/s of uncompressed data for both, compression ratio (compressed / original), peak
# resident memory, and each speed as a ratio to gzip's (gzip -6 for compression, gzip -d for
# expansion). On a machine shared with other work the CPU-time figures are the steadier ones: wall
# time also counts the time the process waited for a core. Both tools write to standard output
# redirected to a file (qvx's OUT "-"): a named qvx output file is written atomically with fsync,
# which would measure the disk rather than the codec. Prints a Markdown table.
#
#   bench/compare.sh [RUNS] [SIZE]     (defaults: 5 runs, 32 MiB corpora)
set -euo pipefail
runs=${1:-5}
size=${2:-$((32 * 1024 * 1024))}
source "$(dirname "$0")/common.sh"
build_release qvx
qvx=$root/build/release/tools/qvx/qvx
make_corpora "$size"

# measure OUT CMD...: runs CMD (stdout to OUT) RUNS times; prints "median_wall median_cpu peak_kb"
# (seconds; wall time from the shell's microsecond clock, CPU time from /usr/bin/time)
measure() {
  local out=$1; shift
  local walls=() cpus=() peak=0 i start end u k m
  for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    /usr/bin/time -f '%U %S %M' -o "$tmp/time" "$@" > "$out"
    end=$EPOCHREALTIME
    read -r u k m < "$tmp/time"
    walls+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
    cpus+=("$(awk -v a="$u" -v b="$k" 'BEGIN { printf "%.2f", a + b }')")
    [ "$m" -gt "$peak" ] && peak=$m
  done
  local w c
  w=$(printf '%s\n' "${walls[@]}" | median)
  c=$(printf '%s\n' "${cpus[@]}" | median)
  echo "$w $c $peak"
}

mbps() { awk -v b="$1" -v t="$2" 'BEGIN { if (t <= 0) t = 0.005; printf "%.1f", b / 1048576 / t }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "| corpus | tool | direction | MB/s (wall) | ratio to gzip (wall) | MB/s (CPU) | ratio to gzip (CPU) | compressed/original | peak RSS (MB) |"
echo "|---|---|---|---:|---:|---:|---:|---:|---:|"
for name in text binary repetitive random; do
  in=$corpus/$name.bin
  bytes=$(stat -c %s "$in")
  read -r gz_c_t gz_c_u gz_c_m < <(measure "$tmp/gz" gzip -6 -c "$in")
  gz_size=$(stat -c %s "$tmp/gz")
  read -r gz_d_t gz_d_u gz_d_m < <(measure "$tmp/gz.out" gzip -d -c "$tmp/gz")
  cmp -s "$tmp/gz.out" "$in" || { echo "gzip round trip failed on $name" >&2; exit 1; }
  gz_c=$(mbps "$bytes" "$gz_c_t"); gz_d=$(mbps "$bytes" "$gz_d_t")
  gz_cu=$(mbps "$bytes" "$gz_c_u"); gz_du=$(mbps "$bytes" "$gz_d_u")
  echo "| $name | gzip -6 | compress | $gz_c | 1.00 | $gz_cu | 1.00 | $(ratio "$gz_size" "$bytes") | $(ratio "$gz_c_m" 1024) |"
  echo "| $name | gzip -d | expand | $gz_d | 1.00 | $gz_du | 1.00 | | $(ratio "$gz_d_m" 1024) |"
  for m in lh5 lzh; do
    read -r c_t c_u c_m < <(measure "$tmp/$m" "$qvx" -q compress -m "$m" "$in" -)
    c_size=$(stat -c %s "$tmp/$m")
    read -r d_t d_u d_m < <(measure "$tmp/$m.out" "$qvx" -q expand -m "$m" -s "$bytes" "$tmp/$m" -)
    cmp -s "$tmp/$m.out" "$in" || { echo "qvx $m round trip failed on $name" >&2; exit 1; }
    c=$(mbps "$bytes" "$c_t"); d=$(mbps "$bytes" "$d_t")
    cu=$(mbps "$bytes" "$c_u"); du=$(mbps "$bytes" "$d_u")
    echo "| $name | qvx $m | compress | $c | $(ratio "$c" "$gz_c") | $cu | $(ratio "$cu" "$gz_cu") | $(ratio "$c_size" "$bytes") | $(ratio "$c_m" 1024) |"
    echo "| $name | qvx $m | expand | $d | $(ratio "$d" "$gz_d") | $du | $(ratio "$du" "$gz_du") | | $(ratio "$d_m" 1024) |"
  done
done
