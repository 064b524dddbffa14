#!/usr/bin/env bash
# Builds everything with the sanitizers and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset dev
cmake --build --preset dev -j "$(nproc)"
ctest --preset dev -j "$(nproc)"
