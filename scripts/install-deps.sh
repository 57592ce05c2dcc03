#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the benchmarks and the
# Debian package need.
# Idempotent: when everything is present it changes nothing.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libbenchmark-dev liborcus-dev libxlsxwriter-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core
  libreoffice-dev libxcb1-dev
  desktop-file-utils appstream dpkg-dev
)
# A desktop with LibreOffice Calc keeps it; elsewhere the office without its
# windows serves the tests (the two cannot be installed side by side).
if dpkg-query -W -f='${Status}' libreoffice-calc 2>/dev/null | grep -q 'install ok installed'; then
  packages+=(libreoffice-calc)
else
  packages+=(libreoffice-calc-nogui)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q "${missing[@]}"
