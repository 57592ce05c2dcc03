#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, then installs into a
# temporary prefix and checks that the installed program works from there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2 --timeout 300

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" >/dev/null
value=$(cd / && "$prefix/bin/tarvio-calc" "$prefix/share/tarvio-ostra/examples/projectile.xlsx" --get B9)
if ! [[ $value =~ ^-?[0-9.]+([eE][-+]?[0-9]+)?$ ]]; then
  echo "the installed tarvio-calc printed \"$value\" for projectile.xlsx B9, not a number"
  exit 1
fi
[ -f "$prefix/share/tarvio-ostra/Tarvio Vendel Quick Help.pdf" ] || { echo "no quick help installed"; exit 1; }
desktop-file-validate "$prefix/share/applications/tarvio-ostra.desktop"
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml
echo "installed files check out (tarvio-calc B9 = $value)"
