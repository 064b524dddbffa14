#!/usr/bin/env bash
# Builds the program, makes a small game beside a copy of it and opens the dialog on it:
#   DEMO/Kelvane (and its modules), DEMO/Kelvane.xml (the archive's path already filled in),
#   DEMO/Game/Models.pck with a texture and a skin model of three meshes among its entries,
#   DEMO/Data/PatchData.xml with two instructions: the texture replaced by DEMO/Data/hero.dds, and
#   the skin model's middle mesh rebuilt from DEMO/Data/hero.xscene, a scene of one triangle mesh.
# Usage: bash scripts/demo.sh [DEMO-FOLDER]   (default: a new folder under /tmp)
# DEMO-FOLDER must be new, empty or an earlier demo of this script's (it marks its folders with the
# file below); any other folder may be a user's set-up or a game, whose archives and settings the
# demo would replace, so it is refused before anything is built or changed.
set -euo pipefail
mark=.kelvane-demo
if [ $# -gt 1 ]; then
  echo "Usage: bash scripts/demo.sh [DEMO-FOLDER]" >&2
  exit 2
fi
demo=""
if [ $# -eq 1 ]; then
  case "$1" in /*) demo=$1 ;; *) demo=$PWD/$1 ;; esac
fi
# Refuses, with one line, a folder the demo must not touch.
check_folder() {
  [ -n "$demo" ] || return 0
  [ -e "$demo" ] || [ -L "$demo" ] || return 0
  if [ ! -d "$demo" ]; then
    echo "demo.sh: $demo is not a folder; nothing was changed." >&2
    exit 1
  fi
  if ! contents=$(ls -A -- "$demo" 2>/dev/null); then
    echo "demo.sh: $demo cannot be read; nothing was changed." >&2
    exit 1
  fi
  if [ -n "$contents" ] && [ ! -f "$demo/$mark" ]; then
    echo "demo.sh: $demo holds files and is no earlier demo of this script's; give a new or empty folder (nothing was changed)." >&2
    exit 1
  fi
}
check_folder
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target Kelvane kelvane_d3d9 kelvane_d3dx demo_game pck_list xscene_info

check_folder # again: the build took a while
[ -n "$demo" ] || demo=$(mktemp -d /tmp/kelvane-demo.XXXXXX)
mkdir -p "$demo"
demo="$(cd "$demo" && pwd)"
printf 'A demo folder made by scripts/demo.sh, which makes it anew when run on it again.\n' > "$demo/$mark"
cp build/release/Kelvane build/release/lib*.so "$demo/"

# UTF-16 with a byte-order mark, as the program reads and writes its XML files.
utf16() { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE; }
# The files' escape is '&' and the character's two hexadecimal digits.
xml_escape() { sed -e 's/&/\&26/g' -e 's/</\&3C/g' -e 's/"/\&22/g'; }

# The game and its models; a backup left by an earlier run in the folder would stand in for the
# new archive.
rm -f "$demo/Game/Models.pck" "$demo/Game/Models.original.pck"
build/release/demo_game "$demo"

archive="$(printf '%s' "$demo/Game/Models.pck" | xml_escape)"
printf '%s\r\n' '<?xml version="1.0" encoding="unicode"?>' '<Config>' \
  "<PackageFilePath>$archive</PackageFilePath>" '</Config>' | utf16 > "$demo/Kelvane.xml"

echo "Demo game in $demo: press Patch, then Restore; the log is $demo/Kelvane.log"
exec "$demo/Kelvane"
