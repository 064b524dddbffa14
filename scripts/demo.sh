#!/usr/bin/env bash
# Builds the program, makes a small game beside a copy of it and opens the dialog on it:
#   DEMO/Kelvane (and its modules), DEMO/Kelvane.xml (the archive's path already filled in),
#   DEMO/Game/Models.pck with a texture and a skin model of three meshes among its entries,
#   DEMO/Data/PatchData.xml with two instructions: the texture replaced by DEMO/Data/hero.dds, and
#   the skin model's middle mesh rebuilt from DEMO/Data/hero.xscene, a scene of one triangle mesh.
# Usage: bash scripts/demo.sh [DEMO-FOLDER]   (default: a new folder under /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target Kelvane kelvane_d3d9 kelvane_d3dx demo_game pck_list xscene_info

demo="${1:-$(mktemp -d /tmp/kelvane-demo.XXXXXX)}"
mkdir -p "$demo"
demo="$(cd "$demo" && pwd)"
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
