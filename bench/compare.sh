#!/usr/bin/env bash
# Measures qvx's LH5 and LZH codecs against gzip, libdeflate (libdeflate-gzip -6, libdeflate-gunzip)
# and zstd (level 3) on the benchmark corpora, in one run on one machine, and checks every speed
# target against those measurements:
#   1. the table of every tool on every corpus: whole-process times (median of RUNS runs) as wall
#      time and as CPU time (user + system), the throughput in MB/s of uncompressed data for both,
#      the compression ratio (compressed / original) and the peak resident memory, each speed also
#      as a ratio to gzip's (gzip -6 for compression, gzip -d for expansion) and to libdeflate's;
#      qvx's LH5 compression once with one thread and once with -j 2 (one stream, two threads);
#   2. the load run: qvx expand -m lh5 and gzip -d on the text corpus while two busy processes
#      compete for the processors, against the same pair without them;
#   3. the targets, each with the figure that decides it and "met" or "NOT met".
# On a machine shared with other work the CPU-time figures are the steadier ones: wall time also
# counts the time a process waited for a core. The load average at the start and the end is
# printed with the tables. All tools write to standard output redirected to a file (qvx's OUT "-"):
# a named qvx output file is written atomically with fsync, which would measure the disk rather
# than the codec. Every output is expanded again and compared with its corpus.
#
#   bench/compare.sh [RUNS] [SIZE]     (defaults: 5 runs, 32 MiB corpora)
set -euo pipefail
runs=${1:-5}
size=${2:-$((32 * 1024 * 1024))}
source "$(dirname "$0")/common.sh"
for tool in gzip libdeflate-gzip libdeflate-gunzip zstd; do
  command -v "$tool" > /dev/null || { echo "compare.sh: $tool is needed (scripts/install-deps.sh)" >&2; exit 2; }
done
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
# verdict VALUE OP LIMIT: "met" when VALUE OP LIMIT holds (OP: ge, le, lt)
verdict() {
  awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN { ok = (op == "ge") ? v >= l : (op == "le") ? v <= l : v < l;
    print ok ? "met" : "NOT met" }'
}

declare -A wall cpu rss csize
# run_pair KEY COMPRESS_CMD... -- EXPAND_CMD... (the expand command reads $tmp/KEY.c):
# measures both directions on the corpus $in; EXPAND's output must be the corpus again.
run_pair() {
  local key=$1; shift
  local ccmd=() dcmd=()
  while [ "$1" != "--" ]; do ccmd+=("$1"); shift; done
  shift
  dcmd=("$@")
  read -r wall[$key.c] cpu[$key.c] rss[$key.c] < <(measure "$tmp/$key.c" "${ccmd[@]}")
  csize[$key]=$(stat -c %s "$tmp/$key.c")
  if [ ${#dcmd[@]} -gt 0 ]; then
    read -r wall[$key.d] cpu[$key.d] rss[$key.d] < <(measure "$tmp/$key.d" "${dcmd[@]}")
    cmp -s "$tmp/$key.d" "$in" || { echo "compare.sh: $key round trip failed" >&2; exit 1; }
  fi
}

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
names=(text binary repetitive random)
for name in "${names[@]}"; do
  in=$corpus/$name.bin
  bytes=$(stat -c %s "$in")
  run_pair "$name.gzip" gzip -6 -c "$in" -- gzip -d -c "$tmp/$name.gzip.c"
  run_pair "$name.libdeflate" libdeflate-gzip -6 -c "$in" -- libdeflate-gunzip -c "$tmp/$name.libdeflate.c"
  run_pair "$name.zstd" zstd -3 -q -c "$in" -- zstd -d -q -c "$tmp/$name.zstd.c"
  run_pair "$name.lh5" "$qvx" -q compress -m lh5 "$in" - -- "$qvx" -q expand -m lh5 -s "$bytes" "$tmp/$name.lh5.c" -
  run_pair "$name.lh5j2" "$qvx" -q compress -m lh5 -j 2 "$in" - --
  cmp -s "$tmp/$name.lh5j2.c" "$tmp/$name.lh5.c" || { echo "compare.sh: -j 2 changed the LH5 bytes of $name" >&2; exit 1; }
  run_pair "$name.lzh" "$qvx" -q compress -m lzh "$in" - -- "$qvx" -q expand -m lzh -s "$bytes" "$tmp/$name.lzh.c" -
done

# The load run: two processes that only compute, on as many processors as the machine has (two).
busy_pids=()
stop_busy() { for pid in "${busy_pids[@]}"; do kill "$pid" 2> /dev/null || true; done; busy_pids=(); }
trap 'stop_busy; rm -rf "$tmp"' EXIT
in=$corpus/text.bin
bytes=$(stat -c %s "$in")
for i in 1 2; do ( while :; do :; done ) & busy_pids+=($!); done
read -r wall[load.gzip] cpu[load.gzip] rss[load.gzip] < <(measure "$tmp/load.out" gzip -d -c "$tmp/text.gzip.c")
read -r wall[load.lh5] cpu[load.lh5] rss[load.lh5] < <(measure "$tmp/load.out" "$qvx" -q expand -m lh5 -s "$bytes" "$tmp/text.lh5.c" -)
stop_busy
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

echo "Load average (1, 5, 15 min) at the start: $load_start; at the end: $load_end. $runs runs each, median; corpora of $size bytes."
echo
echo "| corpus | tool | direction | MB/s (wall) | MB/s (CPU) | CPU ratio to gzip | CPU ratio to libdeflate | wall ratio to gzip | compressed/original | peak RSS (MB) |"
echo "|---|---|---|---:|---:|---:|---:|---:|---:|---:|"
row() {  # row CORPUS LABEL KEY DIR(c|d)
  local name=$1 label=$2 key=$3 dir=$4
  local bytes; bytes=$(stat -c %s "$corpus/$name.bin")
  local w=${wall[$name.$key.$dir]} c=${cpu[$name.$key.$dir]}
  local gw=${wall[$name.gzip.$dir]} gc=${cpu[$name.gzip.$dir]} lc=${cpu[$name.libdeflate.$dir]}
  local size=""
  [ "$dir" = c ] && size=$(ratio "${csize[$name.$key]}" "$bytes")
  echo "| $name | $label | $([ "$dir" = c ] && echo compress || echo expand) | $(mbps "$bytes" "$w") | $(mbps "$bytes" "$c") |" \
       "$(ratio "$gc" "$c") | $(ratio "$lc" "$c") | $(ratio "$gw" "$w") | $size | $(ratio "${rss[$name.$key.$dir]}" 1024) |"
}
for name in "${names[@]}"; do
  row "$name" "gzip -6" gzip c; row "$name" "gzip -d" gzip d
  row "$name" "libdeflate-gzip -6" libdeflate c; row "$name" "libdeflate-gunzip" libdeflate d
  row "$name" "zstd -3" zstd c; row "$name" "zstd -d" zstd d
  row "$name" "qvx lh5" lh5 c; row "$name" "qvx lh5 -j 2" lh5j2 c; row "$name" "qvx lh5" lh5 d
  row "$name" "qvx lzh" lzh c; row "$name" "qvx lzh" lzh d
done

echo
echo "Load run (text corpus, two busy processes on the machine's processors): wall time in seconds."
echo
idle_ratio=$(ratio "${wall[text.gzip.d]}" "${wall[text.lh5.d]}")
load_ratio=$(ratio "${wall[load.gzip]}" "${wall[load.lh5]}")
change=$(awk -v a="$idle_ratio" -v b="$load_ratio" 'BEGIN { printf "%.1f", (b / a - 1) * 100 }')
echo "| run | gzip -d | qvx expand -m lh5 | speed of qvx against gzip -d |"
echo "|---|---:|---:|---:|"
echo "| without the busy processes | ${wall[text.gzip.d]} | ${wall[text.lh5.d]} | $idle_ratio |"
echo "| with two busy processes | ${wall[load.gzip]} | ${wall[load.lh5]} | $load_ratio ($change %) |"

echo
echo "| target | figure | result |"
echo "|---|---|---|"
target() { echo "| $1 | $2 | $3 |"; }
for name in text binary; do
  v=$(ratio "${cpu[$name.libdeflate.d]}" "${cpu[$name.lh5.d]}")
  target "LH5 expansion >= 1.0x libdeflate-gunzip (CPU), $name" "${v}x" "$(verdict "$v" ge 1.0)"
done
for name in text binary; do
  v=$(ratio "${cpu[$name.gzip.c]}" "${cpu[$name.lh5.c]}")
  target "LH5 compression >= 1.0x gzip -6 (CPU), one thread, $name" "${v}x" "$(verdict "$v" ge 1.0)"
done
for name in text binary; do
  v=$(ratio "${wall[$name.gzip.c]}" "${wall[$name.lh5j2.c]}")
  target "LH5 compression of one stream with -j 2 >= 1.8x gzip -6 (wall), $name" "${v}x" "$(verdict "$v" ge 1.8)"
done
for name in "${names[@]}"; do
  for dir in c d; do
    v=$(ratio "${cpu[$name.gzip.$dir]}" "${cpu[$name.lzh.$dir]}")
    target "LZH $([ $dir = c ] && echo compression || echo expansion) >= 0.25x gzip (CPU), $name" "${v}x" "$(verdict "$v" ge 0.25)"
  done
done
abs_change=${change#-}
target "Under load, qvx expand against gzip -d within 10 % of the idle ratio" "$change %" "$(verdict "$abs_change" le 10)"
peak=0
for k in "${!rss[@]}"; do
  case $k in *lh5*|*lzh*) [ "${rss[$k]}" -gt "$peak" ] && peak=${rss[$k]} ;; esac
done
target "Peak resident memory of qvx under 16 MB" "$(ratio "$peak" 1024) MB" "$(verdict "$peak" lt 16384)"
