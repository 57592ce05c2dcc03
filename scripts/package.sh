#!/usr/bin/env bash
# Builds the Debian package into build-package/ and prints its path. Install it with
#   sudo apt-get install ./build-package/tarvio-ostra_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
out=build-package
cmake -S . -B $out -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTARVIO_BUILD_TESTS=OFF -DTARVIO_BUILD_BENCH=OFF -DTARVIO_BUILD_TOOLS=OFF >/dev/null
cmake --build $out -j2
rm -f $out/tarvio-ostra_*.deb
(cd $out && cpack -G DEB >/dev/null)
ls "$PWD"/$out/tarvio-ostra_*.deb
