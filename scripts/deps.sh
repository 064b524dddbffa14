#!/usr/bin/env bash
# Installs, as Debian packages, whatever the build and the tests need and the machine lacks.
set -euo pipefail
packages=(g++ cmake ninja-build ccache pkg-config zlib1g-dev libjpeg-dev libpng-dev
          libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-dejavu-extra libx11-dev libxext-dev libxtst-dev libxfixes-dev xvfb xdotool twm
          libgtest-dev libgmock-dev libbenchmark-dev libstb-dev
          libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri)
# The fuzz targets the tests run over their seeds: clang with its libFuzzer run time.
packages+=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Number texts must not follow the locale: the tests check under a comma-decimal one.
installed_locales=$(locale -a 2>/dev/null || true)
grep -qi '^de_DE\.utf-\?8$' <<< "$installed_locales" || need_locale=1
if [ ${#missing[@]} -eq 0 ] && [ -z "${need_locale:-}" ]; then exit 0; fi
if [ "$(id -u)" -ne 0 ]; then
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Missing packages (install them as root): ${missing[*]}" >&2
    exit 1
  fi
  # Not fatal: the tests of number texts then run in the C locale only.
  echo "The de_DE.UTF-8 locale is missing (as root: add it to /etc/locale.gen and run locale-gen);" \
       "number texts are then checked in the C locale only." >&2
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ -n "${need_locale:-}" ]; then
  dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q "install ok installed" || {
    apt-get update -qq; apt-get install -y -qq --no-install-recommends locales; }
  sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
