#!/usr/bin/env bash
# Builds and runs the test suite, stage by stage:
#   debug     the debug preset (warnings as errors) and all tests
#   consumer  the library installed alone (static and shared) and the example built against it
#   sanitize  the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#   windows   the mingw-w64 build of Setup.exe, run end to end under Wine
#   fuzz      every libFuzzer target for QVX_FUZZ_SECONDS seconds (default 60)
# Usage: scripts/test.sh [STAGE...]   (default: every stage, in order)
# QVX_JOBS sets the build and test parallelism (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${QVX_JOBS:-2}"

# Configure, build and test one preset.
run_preset() {
  local preset="$1"
  cmake --preset "$preset" -G Ninja
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" --timeout 600
}

stage_debug() { run_preset debug; }
stage_consumer() { ./scripts/consumer-test.sh; }
stage_sanitize() { run_preset sanitize; }
stage_windows() { QVX_NATIVE_PRESET=debug ./scripts/wine-tests.sh; }
stage_fuzz() { ./fuzz/run.sh "${QVX_FUZZ_SECONDS:-60}"; }

all_stages=(debug consumer sanitize windows fuzz)

./scripts/install-deps.sh

stages=("$@")
((${#stages[@]})) || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  if ! declare -F "stage_$stage" >/dev/null; then
    echo "test.sh: unknown stage '$stage' (stages: ${all_stages[*]})" >&2
    exit 2
  fi
  echo "==> stage: $stage"
  start=$SECONDS
  "stage_$stage"
  echo "==> stage $stage passed in $((SECONDS - start)) s"
done
