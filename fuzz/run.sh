#!/usr/bin/env bash
# Builds the fuzz targets (clang, ASan + UBSan, libFuzzer) and runs each for SECONDS (default 60),
# two at a time. Seeds come from fuzz/corpus/<target>; new inputs go to build/fuzz-work/<target>.
# Exits non-zero when any target finds a crash, a leak, a timeout or an out-of-memory case.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset fuzz -G Ninja > /dev/null
cmake --build --preset fuzz -j2
bin=build/fuzz/fuzz
work=build/fuzz-work
mkdir -p "$work"

dict_for() {
  case "$1" in
    fuzz_payload_locator | fuzz_pe_headers) echo fuzz/dict/payload.dict ;;
    fuzz_entry_name) echo fuzz/dict/entryname.dict ;;
    fuzz_resource_directory | fuzz_icon_file) echo fuzz/dict/resources.dict ;;
    *) echo fuzz/dict/archive.dict ;;
  esac
}

run_one() {
  local target=$1
  mkdir -p "$work/$target" "$work/$target.artifacts"
  local seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
  if "$bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -dict="$(dict_for "$target")" -artifact_prefix="$work/$target.artifacts/" \
       "$work/$target" "${seeds[@]}" > "$work/$target.log" 2>&1; then
    echo "$target: ok ($(grep -E 'stat::number_of_executed_units' "$work/$target.log" | awk '{print $2}') runs," \
         "$(grep -oE 'cov: [0-9]+' "$work/$target.log" | tail -1))"
  else
    echo "$target: FAILED (see $work/$target.log)"
    tail -40 "$work/$target.log"
    return 1
  fi
}

targets=()
for t in "$bin"/fuzz_*; do [ -x "$t" ] && targets+=("$(basename "$t")"); done
status=0
pids=()
for target in "${targets[@]}"; do
  run_one "$target" & pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then wait "${pids[0]}" || status=1; pids=("${pids[@]:1}"); fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
