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
# The printing tests' private CUPS server and queues, started once before
# the tests run in parallel (the tests skip, saying why, where it cannot run).
scripts/cups_test_queue.sh || echo "test: no CUPS queue for the printing tests (they are skipped)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/package_check.sh build
