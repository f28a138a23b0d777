#!/usr/bin/env bash
# Builds and runs the test suite, stage by stage:
#   debug     the layers of the tool's folders (scripts/check-layers.py, well under a second), the
#             sources' format (scripts/format.sh --check: clang-format 14, 2 to 5 s), the debug
#             preset (warnings as errors) and all tests
#   consumer  the library installed alone as a shared library and the example built against it
#   sanitize  the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#   windows   the mingw-w64 build of Setup.exe, run end to end under Wine, and the launcher test
#             that reads it
#   fuzz      every libFuzzer target for QVX_FUZZ_SECONDS seconds (default 15)
#   release   the release bundles (scripts/release.sh), checked as their users get them: made twice
#             with the same bytes, the .deb unpacked and built against, the zip's programs under Wine
# Usage: scripts/test.sh [STAGE...]   (default: every stage, in order)
# QVX_JOBS sets the build and test parallelism (default 2).
# QVX_FORMAT_CHECK=0 leaves the format check out of the debug stage (default 1: on).
# A failing stage does not stop the others. The last lines name the failing stages and count the
# stages, "N passed, N failed"; the exit code is 0 only when every stage passed.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${QVX_JOBS:-2}"

# Configure, build and test one preset.
run_preset() {
  local preset="$1"
  cmake --preset "$preset" -G Ninja
  cmake --build --preset "$preset" -j "$jobs"
  # Off a terminal ctest prints a "Start" line besides the result of every test: keep the result.
  if [ -t 1 ]; then
    ctest --preset "$preset" -j "$jobs" --timeout 600
  else
    ctest --preset "$preset" -j "$jobs" --timeout 600 | sed -u '/^ *Start  *[0-9][0-9]*: /d'
  fi
}

stage_debug() {
  python3 ./scripts/check-layers.py
  if [ "${QVX_FORMAT_CHECK:-1}" = 1 ]; then ./scripts/format.sh --check; fi
  run_preset debug
}
stage_consumer() { ./scripts/consumer-test.sh; }
stage_sanitize() { run_preset sanitize; }
stage_windows() {
  QVX_NATIVE_PRESET=debug ./scripts/wine-tests.sh
  # The launcher test that reads the mingw tree's Setup.exe skips in the debug stage, which runs
  # before that tree exists: it runs here, where it does.
  cmake --build --preset debug -j "$jobs" --target launcher_end_to_end_tests
  ctest --preset debug -R '^SetupEndToEnd[.]WindowsLauncherHoldsTheMarkerExactlyOnce$' --no-tests=error
}
stage_fuzz() { ./fuzz/run.sh "${QVX_FUZZ_SECONDS:-15}"; }
# The Windows programs come from the windows stage's mingw tree: the same preset, so the same bytes.
stage_release() { QVX_RELEASE_WINDOWS_BUILD=build/mingw ./scripts/release-tests.sh; }

all_stages=(debug consumer sanitize windows fuzz release)

./scripts/install-deps.sh

stages=("$@")
((${#stages[@]})) || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  if ! declare -F "stage_$stage" >/dev/null; then
    echo "test.sh: unknown stage '$stage' (stages: ${all_stages[*]})" >&2
    exit 2
  fi
done

passed=0
failed=()
for stage in "${stages[@]}"; do
  echo "==> stage: $stage"
  start=$SECONDS
  # In a subshell, so that a failing command ends the stage and not the script (not as an "if"
  # condition, where bash would ignore set -e).
  set +e
  (set -e; "stage_$stage")
  status=$?
  set -e
  if ((status == 0)); then
    passed=$((passed + 1))
    echo "==> stage $stage passed in $((SECONDS - start)) s"
  else
    failed+=("$stage")
    echo "==> stage $stage FAILED after $((SECONDS - start)) s"
  fi
done

((${#failed[@]} == 0)) || echo "==> failed: ${failed[*]}"
echo "$passed passed, ${#failed[@]} failed"
((${#failed[@]} == 0))
