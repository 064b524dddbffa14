#!/usr/bin/env bash
# Installs, as Debian packages, whatever the build and the tests need and the machine lacks.
set -euo pipefail
packages=(g++ cmake ninja-build ccache pkg-config zlib1g-dev libjpeg-dev libpng-dev
          libfreetype-dev libfontconfig-dev fonts-dejavu-core libx11-dev
          libgtest-dev libgmock-dev libbenchmark-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages (install them as root): ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
