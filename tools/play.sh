#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it from build/ (where it finds assets/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build && exec ./kellvane
