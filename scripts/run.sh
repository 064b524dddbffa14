#!/usr/bin/env bash
# Builds the optimised program and runs it from its build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release
cmake --build --preset release -j "$(nproc)" --target Kelvane
exec ./build/release/Kelvane "$@"
