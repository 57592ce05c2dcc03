#!/usr/bin/env bash
# Installs what is missing, builds and starts Tarvio Ostra.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# With no file named, the projectile example opens.
if [ $# -eq 0 ]; then set -- examples/projectile.xlsx; fi
exec build/app/tarvio-ostra "$@"
