#!/usr/bin/env bash
# Measures qvx's LH5 and LZH codecs against gzip, libdeflate (libdeflate-gzip -6, libdeflate-gunzip)
# and zstd (level 3) on the benchmark corpora, in one run on one machine, and checks every speed
# target against those measurements.
#
# How the figures are made to hold:
#   - every timed run takes at least MIN_CPU seconds of CPU: a command whose first run is quicker is
#     repeated that many times in one timed run (runs summed), so /usr/bin/time's 10 ms steps stay
#     below 1 %; the tables give the time of one execution (the sum divided by the repeats);
#   - every output goes to /dev/null; the round trip is checked apart, once per corpus, by writing
#     each compressed and expanded output to a file and comparing it with the corpus (and the LH5
#     bytes of every -j with those of one thread);
#   - the tools of one comparison run alternately (A B C A B C ...), so that a change of the
#     machine's load hits all of them alike;
#   - user and system time are reported apart, with the minimum and the median of the CPU time
#     (user + system) over RUNS timed runs; the load average is printed at the start and the end;
#   - instruction counts (valgrind's callgrind, whole process, on the first SAMPLE bytes of each
#     corpus) are the machine-independent figure: they repeat exactly from run to run.
#
#   bench/compare.sh [RUNS] [SIZE] [SAMPLE]   (defaults: 5 timed runs, 32 MiB corpora, 4 MiB sample)
#   MIN_CPU=1.0 CORPORA="text binary repetitive random" KEYS="lh5.c lh5.d ..." bench/compare.sh ...
#   (KEYS: only these commands besides gzip's and libdeflate's; keys as in the table of commands below)
set -euo pipefail
runs=${1:-5}
size=${2:-$((32 * 1024 * 1024))}
sample=${3:-$((4 * 1024 * 1024))}
min_cpu=${MIN_CPU:-1.0}
read -r -a names <<< "${CORPORA:-text binary repetitive random}"
source "$(dirname "$0")/common.sh"
for tool in gzip libdeflate-gzip libdeflate-gunzip zstd valgrind; do
  command -v "$tool" > /dev/null || {
    echo "compare.sh: $tool is needed (apt-get install gzip libdeflate-tools zstd valgrind)" >&2
    exit 2
  }
done
build_release qvx
qvx=$root/build/release/tools/qvx/qvx
make_corpora "$size"
load_start=$(cut -d' ' -f1-3 /proc/loadavg)

# The commands, by key: CMD_<key> is a command line that reads $IN and writes to standard output.
# For a compressor, IN is the corpus; for an expander, IN is that tool's compressed corpus.
declare -A cmd label dir base
add() {  # add KEY DIRECTION(c|d) LABEL COMMAND (a shell fragment using $IN and $BYTES)
  cmd[$1]=$4; dir[$1]=$2; label[$1]=$3
}
add gzip.c c "gzip -6" 'gzip -6 -c "$IN"'
add libdeflate.c c "libdeflate-gzip -6" 'libdeflate-gzip -6 -c "$IN"'
add zstd.c c "zstd -3" 'zstd -3 -q -c "$IN"'
add lh5.c c "qvx lh5" '"$QVX" -q compress -m lh5 "$IN" -'
add lh5j2.c c "qvx lh5 -j 2" '"$QVX" -q compress -m lh5 -j 2 "$IN" -'
add lh5j8.c c "qvx lh5 -j 8" '"$QVX" -q compress -m lh5 -j 8 "$IN" -'
add lzh.c c "qvx lzh" '"$QVX" -q compress -m lzh "$IN" -'
add gzip.d d "gzip -d" 'gzip -d -c "$IN"'
add libdeflate.d d "libdeflate-gunzip" 'libdeflate-gunzip -c "$IN"'
add zstd.d d "zstd -d" 'zstd -d -q -c "$IN"'
add lh5.d d "qvx lh5" '"$QVX" -q expand -m lh5 -s "$BYTES" "$IN" -'
add lzh.d d "qvx lzh" '"$QVX" -q expand -m lzh -s "$BYTES" "$IN" -'
compressors=(gzip.c libdeflate.c zstd.c lh5.c lh5j2.c lh5j8.c lzh.c)
expanders=(gzip.d libdeflate.d zstd.d lh5.d lzh.d)
if [ -n "${KEYS:-}" ]; then  # KEYS="gzip.c lh5.c ...": only these (gzip and libdeflate are always kept)
  keep() { local k out=(); for k in "$@"; do case " gzip.c gzip.d libdeflate.c libdeflate.d $KEYS " in *" $k "*) out+=("$k") ;; esac; done; echo "${out[@]}"; }
  read -r -a compressors <<< "$(keep "${compressors[@]}")"
  read -r -a expanders <<< "$(keep "${expanders[@]}")"
fi
counted=()  # the compressors whose instructions are counted (one thread only)
for key in "${compressors[@]}"; do case $key in lh5j*) ;; *) counted+=("$key") ;; esac; done
export QVX=$qvx

# in_of KEY NAME FILE: the input of KEY for corpus file FILE (an expander reads its compressor's output).
in_of() {
  local key=$1 name=$2 file=$3
  if [ "${dir[$key]}" = c ]; then echo "$file"; else echo "$tmp/$name.${key%.d}.c"; fi
}

# once KEY IN BYTES OUT: one execution of KEY with its output to OUT.
once() {
  IN=$2 BYTES=$3 bash -c "${cmd[$1]}" > "$4"
}

# timed KEY IN BYTES REPEATS: one timed run (REPEATS executions, output to /dev/null); prints
# "wall user system peak_kb" for the whole run.
timed() {
  local start end
  start=$EPOCHREALTIME
  IN=$2 BYTES=$3 REPEATS=$4 /usr/bin/time -f '%U %S %M' -o "$tmp/time" \
    bash -c 'for ((i = 0; i < REPEATS; i++)); do '"${cmd[$1]}"' > /dev/null; done'
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" '{ printf "%.4f %s %s %s\n", b - a, $1, $2, $3 }' "$tmp/time"
}

# measure NAME FILE KEY...: alternates the keys run by run and keeps, per key, the per-execution
# figures of every timed run in $tmp/NAME.KEY.runs ("wall user system cpu"), the repeats and the peak.
declare -A repeats peak
measure() {
  local name=$1 file=$2; shift 2
  local bytes key in w u s m r
  bytes=$(stat -c %s "$file")
  for key in "$@"; do  # the repeats from a first (untimed) run
    in=$(in_of "$key" "$name" "$file")
    read -r w u s m < <(timed "$key" "$in" "$bytes" 1)
    repeats[$name.$key]=$(awk -v u="$u" -v s="$s" -v min="$min_cpu" 'BEGIN { t = u + s; r = (t > 0) ? int(min / t) + 1 : 100; print (r < 1) ? 1 : r }')
    peak[$name.$key]=$m
    : > "$tmp/$name.$key.runs"
  done
  for ((run = 0; run < runs; run++)); do
    for key in "$@"; do
      in=$(in_of "$key" "$name" "$file")
      r=${repeats[$name.$key]}
      read -r w u s m < <(timed "$key" "$in" "$bytes" "$r")
      awk -v w="$w" -v u="$u" -v s="$s" -v r="$r" 'BEGIN { printf "%.4f %.4f %.4f %.4f\n", w / r, u / r, s / r, (u + s) / r }' \
        >> "$tmp/$name.$key.runs"
      if [ "$m" -gt "${peak[$name.$key]}" ]; then peak[$name.$key]=$m; fi
    done
  done
}

# stat_of NAME KEY COLUMN(1 wall, 2 user, 3 system, 4 cpu) min|median
stat_of() {
  local col
  col=$(cut -d' ' -f"$3" "$tmp/$1.$2.runs")
  if [ "$4" = min ]; then printf '%s\n' "$col" | sort -g | head -1; else printf '%s\n' "$col" | median; fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mbps() { awk -v b="$1" -v t="$2" 'BEGIN { printf "%.1f", b / 1048576 / t }'; }
verdict() {  # VALUE OP(ge|le) LIMIT
  awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN { ok = (op == "ge") ? v >= l : v <= l; print ok ? "met" : "NOT met" }'
}

# The round trips, once per corpus: every compressed output expands to the corpus again, and the
# LH5 bytes do not depend on -j.
declare -A csize
for name in "${names[@]}"; do
  file=$corpus/$name.bin
  bytes=$(stat -c %s "$file")
  for key in "${compressors[@]}"; do
    once "$key" "$file" "$bytes" "$tmp/$name.${key%.c}.c"
    csize[$name.$key]=$(stat -c %s "$tmp/$name.${key%.c}.c")
  done
  for j in lh5j2 lh5j8; do
    [ -n "${csize[$name.$j.c]:-}" ] || continue
    cmp -s "$tmp/$name.$j.c" "$tmp/$name.lh5.c" || { echo "compare.sh: ${label[$j.c]} changed the LH5 bytes of $name" >&2; exit 1; }
  done
  for key in "${expanders[@]}"; do
    once "$key" "$(in_of "$key" "$name" "$file")" "$bytes" "$tmp/out"
    cmp -s "$tmp/out" "$file" || { echo "compare.sh: ${label[$key]} round trip of $name failed" >&2; exit 1; }
  done
done

for name in "${names[@]}"; do
  measure "$name" "$corpus/$name.bin" "${compressors[@]}"
  measure "$name" "$corpus/$name.bin" "${expanders[@]}"
done
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

# Instruction counts on the first SAMPLE bytes of each corpus (one thread only: threads make the
# count vary).
declare -A instr
head_of() { head -c "$sample" "$corpus/$1.bin" > "$tmp/sample.$1"; }
count() {  # count KEY IN BYTES: instructions of one execution (the command itself, no shell around it)
  local IN=$2 BYTES=$3
  eval "set -- ${cmd[$1]}"
  valgrind --tool=callgrind --callgrind-out-file="$tmp/cg.out" "$@" > /dev/null 2> /dev/null
  awk '/^(summary|totals):/ { print $2; exit }' "$tmp/cg.out"
}
for name in "${names[@]}"; do
  head_of "$name"
  sbytes=$(stat -c %s "$tmp/sample.$name")
  for key in "${counted[@]}"; do
    once "$key" "$tmp/sample.$name" "$sbytes" "$tmp/sample.$name.${key%.c}.c"
    instr[$name.$key]=$(count "$key" "$tmp/sample.$name" "$sbytes")
  done
  for key in "${expanders[@]}"; do
    instr[$name.$key]=$(count "$key" "$tmp/sample.$name.${key%.d}.c" "$sbytes")
  done
done

echo "Load average (1, 5, 15 min) at the start: $load_start; at the end: $load_end."
echo "$(nproc) processors; corpora of $size bytes; $runs timed runs per command, tools alternated run by run;"
echo "each timed run at least $min_cpu s of CPU (repeats summed); times are per execution, in seconds."
echo
echo "| corpus | tool | direction | repeats | user min | user med | sys min | sys med | CPU min | CPU med | wall med | MB/s (CPU med) | CPU ratio to gzip | CPU ratio to libdeflate | compressed/original | peak RSS (MB) |"
echo "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for name in "${names[@]}"; do
  bytes=$(stat -c %s "$corpus/$name.bin")
  for key in "${compressors[@]}" "${expanders[@]}"; do
    d=${dir[$key]}
    c=$(stat_of "$name" "$key" 4 median)
    gz=$(stat_of "$name" "gzip.$d" 4 median)
    ld=$(stat_of "$name" "libdeflate.$d" 4 median)
    cr=""
    [ "$d" = c ] && cr=$(ratio "${csize[$name.$key]}" "$bytes")
    echo "| $name | ${label[$key]} | $([ "$d" = c ] && echo compress || echo expand) | ${repeats[$name.$key]} |" \
      "$(stat_of "$name" "$key" 2 min) | $(stat_of "$name" "$key" 2 median) |" \
      "$(stat_of "$name" "$key" 3 min) | $(stat_of "$name" "$key" 3 median) |" \
      "$(stat_of "$name" "$key" 4 min) | $c | $(stat_of "$name" "$key" 1 median) | $(mbps "$bytes" "$c") |" \
      "$(ratio "$gz" "$c") | $(ratio "$ld" "$c") | $cr | $(ratio "${peak[$name.$key]}" 1024) |"
  done
done

echo
echo "Instructions (valgrind callgrind, whole process, first $sample bytes of each corpus), in millions and per byte of uncompressed data:"
echo
echo "| corpus | tool | direction | instructions (M) | per byte | ratio to libdeflate |"
echo "|---|---|---|---:|---:|---:|"
for name in "${names[@]}"; do
  for key in "${counted[@]}" "${expanders[@]}"; do
    d=${dir[$key]}
    n=${instr[$name.$key]}
    echo "| $name | ${label[$key]} | $([ "$d" = c ] && echo compress || echo expand) |" \
      "$(awk -v n="$n" 'BEGIN { printf "%.1f", n / 1e6 }') | $(awk -v n="$n" -v b="$sample" 'BEGIN { printf "%.2f", n / b }') |" \
      "$(ratio "$n" "${instr[$name.libdeflate.$d]}") |"
  done
done

echo
echo "| target | figure | result |"
echo "|---|---|---|"
target() { echo "| $1 | $2 | $3 |"; }
for name in text binary; do
  case " ${names[*]} " in *" $name "*) ;; *) continue ;; esac
  v=$(ratio "${instr[$name.lh5.d]}" "${instr[$name.libdeflate.d]}")
  target "LH5 expansion at most 1.3x the instructions of libdeflate-gunzip, $name" "${v}x" "$(verdict "$v" le 1.3)"
  v=$(ratio "$(stat_of "$name" libdeflate.d 4 median)" "$(stat_of "$name" lh5.d 4 median)")
  target "LH5 expansion at least 1.0x libdeflate-gunzip's speed (CPU, median), $name" "${v}x" "$(verdict "$v" ge 1.0)"
  if [ -f "$tmp/$name.lh5j8.c.runs" ]; then
    v=$(ratio "$(stat_of "$name" lh5j8.c 4 median)" "$(stat_of "$name" lh5.c 4 median)")
    target "LH5 compression -j 8: CPU time at most 1.2x one thread's, $name" "${v}x" "$(verdict "$v" le 1.2)"
  fi
  if [ -f "$tmp/$name.lh5j2.c.runs" ]; then
    v=$(ratio "$(stat_of "$name" lh5.c 1 median)" "$(stat_of "$name" lh5j2.c 1 median)")
    target "LH5 compression -j 2: wall time at least 1.7x faster than one thread, $name" "${v}x" "$(verdict "$v" ge 1.7)"
  fi
done
