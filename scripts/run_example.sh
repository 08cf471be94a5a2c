#!/usr/bin/env bash
# The main job: sets up the machine (idempotent), builds the command-line
# tool and renders the example sales report to sales.pdf.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target vorel
# The example database is made by the setup; made here too when the setup
# ran before the examples existed.
[ -f examples/shop.db ] || python3 examples/make_shop_db.py examples/shop.db
build/bin/vorel render examples/sales.kvx -o sales.pdf
