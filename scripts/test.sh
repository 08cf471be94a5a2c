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
# A private PostgreSQL server for the data tests (Unix socket only); where
# it cannot start, those tests skip and say why.
if pg_export="$(scripts/pg_test_cluster.sh start)"; then
  eval "$pg_export"
  trap 'scripts/pg_test_cluster.sh stop' EXIT
else
  echo "test: no PostgreSQL server for the tests; they will skip" >&2
fi
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/package_check.sh build
