#!/usr/bin/env bash
# Builds everything with the sanitizers and runs every test; then builds the fuzz targets and runs
# each once over its seeds, so that neither the targets nor the readers under them break unseen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset dev
cmake --build --preset dev -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
# A test that hangs fails on its own instead of holding the run.
ctest --preset dev -j "${CTEST_PARALLEL_LEVEL:-$(nproc)}" --timeout 900

cmake --preset fuzz
cmake --build --preset fuzz -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
# Every seed once, by file (a folder argument would be a corpus the run may add to): a crash, a
# sanitizer report or a leak fails the run.
failed=()
for source in tests/fuzz/*.cpp; do
  target=$(basename "$source" .cpp)
  seeds=(tests/fuzz/corpus/"$target"/*)
  if [ ! -e "${seeds[0]}" ]; then
    echo "$target: no seeds in tests/fuzz/corpus/$target" >&2
    failed+=("$target")
    continue
  fi
  if ! (cd build/fuzz && "./$target" -rss_limit_mb=2048 -timeout=60 "${seeds[@]/#/../../}" > "$target.seeds.log" 2>&1); then
    echo "$target failed over its seeds; see build/fuzz/$target.seeds.log" >&2
    tail -n 40 "build/fuzz/$target.seeds.log" >&2
    failed+=("$target")
  else
    echo "$target: ${#seeds[@]} seeds passed"
  fi
done
[ ${#failed[@]} -eq 0 ]
