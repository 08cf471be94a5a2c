#!/usr/bin/env bash
# Sets up the machine (idempotent), builds everything, runs the tests, then
# checks the installed package on the same tree (scripts/package_check.sh:
# install, find_package, pkg-config, examples/embed, the DEB).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/package_check.sh build
