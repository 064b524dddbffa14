#!/usr/bin/env bash
# Builds the program, makes a small game beside a copy of it and opens the dialog on it:
#   DEMO/Kelvane (and its modules), DEMO/Kelvane.xml (the archive's path already filled in),
#   DEMO/Data/PatchData.xml with two instructions and their models, DEMO/Game/Models.pck.
# Usage: bash scripts/demo.sh [DEMO-FOLDER]   (default: a new folder under /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target Kelvane kelvane_d3d9 kelvane_d3dx pck_generate pck_resave

demo="${1:-$(mktemp -d /tmp/kelvane-demo.XXXXXX)}"
mkdir -p "$demo/Data" "$demo/Game"
demo="$(cd "$demo" && pwd)"
cp build/release/Kelvane build/release/lib*.so "$demo/"

# UTF-16 with a byte-order mark, as the program reads and writes its XML files.
utf16() { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; }
# The files' escape is '&' and the character's two hexadecimal digits.
xml_escape() { sed -e 's/&/\&26/g' -e 's/</\&3C/g' -e 's/"/\&22/g'; }

# The game's archive: a few hundred seeded entries and the two entries the patch replaces.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
build/release/pck_generate "$work/base.pck" --size 2m --entries 300 --seed 7 >/dev/null
head -c 40000 /dev/urandom > "$work/hero.dds"
head -c 60000 /dev/urandom > "$work/body.ski"
rm -f "$demo/Game/Models.pck" "$demo/Game/Models.original.pck"
build/release/pck_resave "$work/base.pck" "$demo/Game/Models.pck" \
  --add 'textures\hero\hero.dds'="$work/hero.dds" --add 'models\hero\Body.SKI'="$work/body.ski" >/dev/null

# The replacements from disk: a texture and a skin model.
head -c 50000 /dev/urandom > "$demo/Data/hero.dds"
head -c 70000 /dev/urandom > "$demo/Data/hero_body.ski"
printf '%s\r\n' '<?xml version="1.0" encoding="unicode"?>' '<PatchData>' \
  '<Entry MeshIndex="0" UseBoneMap="false" FileName="textures\hero\hero.dds" ModelName="hero.dds"/>' \
  '<Entry MeshIndex="0" UseBoneMap="false" FileName="models\hero\Body.SKI" ModelName="hero_body.ski"/>' \
  '</PatchData>' | utf16 > "$demo/Data/PatchData.xml"

archive="$(printf '%s' "$demo/Game/Models.pck" | xml_escape)"
printf '%s\r\n' '<?xml version="1.0" encoding="unicode"?>' '<Config>' \
  "<PackageFilePath>$archive</PackageFilePath>" '</Config>' | utf16 > "$demo/Kelvane.xml"

echo "Demo game in $demo: press Patch, then Restore; the log is $demo/Kelvane.log"
exec "$demo/Kelvane"
