#!/usr/bin/env bash
# Builds and opens the view host: the four-viewport view over a generated scene of boxes, a
# cylinder and a cone with a checker texture under a directional light, and what the editors work
# on (a textured triangle mesh, a mesh skinned to two bones and their animation). The buttons under
# the view choose move, rotate, scale (drag with the left button in a viewport) or edit, the
# chosen one pressed; a right click on a viewport opens the menu of layouts (in a camera mode it
# also switches to edit), unless the tool at work uses the right button; the splitters drag; F12 in a viewport saves the view as view.bmp and
# view.jpg in the folder the script was started from.
# Usage: bash scripts/view_demo.sh [WIDTH HEIGHT [BOXES SEGMENTS]]   (default 800 600 1 4)
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target view_host kelvane_d3d9 kelvane_d3dx
cd "$caller"
exec "$root/build/release/view_host" "$@"
