#!/usr/bin/env bash
# The main job: installs what is missing, builds everything with the release preset (library,
# launcher, qvx, example engine, benchmarks), then builds a self-extracting setup file from sample
# data with `qvx setup build`, runs it, and shows what its installer engine did.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset release -G Ninja
cmake --build --preset release -j "${QVX_JOBS:-2}"
./scripts/demo-setup.sh
