#!/usr/bin/env bash
# Builds and runs the test suite, stage by stage:
#   debug     the debug preset (warnings as errors) and all tests
#   sanitize  the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
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
stage_sanitize() { run_preset sanitize; }

all_stages=(debug sanitize)

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
