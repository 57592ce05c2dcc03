#!/usr/bin/env bash
# Configures (once) and builds into build/; safe to run again at any time.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j2
