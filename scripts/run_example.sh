#!/usr/bin/env bash
# Sets up the machine (idempotent), builds the command-line tool and runs the
# main job. Until the engine lands, the main job prints the tool's version.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOREL_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)" --target vorel
export QT_QPA_PLATFORM=offscreen
build/bin/vorel --version
