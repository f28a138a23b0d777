#!/usr/bin/env bash
# Installs what building and testing qvx needs (Debian 12, apt-get), by groups:
#   build    compiler, CMake, Ninja, CLI11, nlohmann-json, unicode-data (the case-folding table):
#            the library, qvx, the launcher, the demo
#   test     GoogleTest, Google Benchmark, the tools the test suites call and clang-format-14 (the
#            debug stage's format check)
#   fuzz     clang with its sanitizer and libFuzzer runtimes
#   windows  mingw-w64, Wine, osslsigncode, pefile, pev, icoutils: the Windows programs and their
#            tests
#   release  what scripts/release.sh packs and checks the bundles with (dpkg-dev, groff, zip, man)
# Usage: scripts/install-deps.sh [GROUP...]   (default: every group)
# Packages already installed are skipped; with nothing missing this touches neither the network
# nor apt.
set -euo pipefail

declare -A groups=(
  [build]="cmake ninja-build g++ libcli11-dev nlohmann-json3-dev pkgconf unicode-data"
  [test]="libgtest-dev libbenchmark-dev time gzip git clang-format-14"
  [fuzz]="clang libclang-rt-14-dev"
  [windows]="g++-mingw-w64-x86-64 wine64 openssl osslsigncode python3 python3-pefile pev icoutils"
  [release]="dpkg-dev file groff-base man-db zip unzip xz-utils git"
)
all_groups=(build test fuzz windows release)

wanted=("$@")
((${#wanted[@]})) || wanted=("${all_groups[@]}")
packages=()
for group in "${wanted[@]}"; do
  if [ -z "${groups[$group]+set}" ]; then
    echo "install-deps: unknown group '$group' (groups: ${all_groups[*]})" >&2
    exit 2
  fi
  read -r -a list <<<"${groups[$group]}"
  packages+=("${list[@]}")
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
((${#missing[@]} == 0)) && exit 0
# A package named by two groups is installed once.
read -r -a missing <<<"$(printf '%s\n' "${missing[@]}" | sort -u | tr '\n' ' ')"

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
