#!/usr/bin/env bash
# Builds the optimised program and runs it from its build folder. It needs a display; without one
# it says so and ends (run it under xvfb-run for a virtual one).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release
cmake --build --preset release -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target Kelvane kelvane_d3d9 kelvane_d3dx
exec ./build/release/Kelvane "$@"
