#!/usr/bin/env bash
# The README's first command: installs the few packages the demo needs (compiler, CMake, Ninja,
# CLI11, nlohmann-json), builds qvx, the launcher and the example engine (demo preset: no tests,
# no optimisation, for a quick build), then builds a self-extracting setup file from sample data
# with `qvx setup build`, runs it, and shows what its installer engine did.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh build
./scripts/demo-setup.sh
