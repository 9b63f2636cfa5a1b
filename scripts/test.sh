#!/usr/bin/env bash
# Installs what Tabulon needs, builds it, and runs every test headless. Arguments go
# to ctest (for example -L scenario, or -R Runner).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
