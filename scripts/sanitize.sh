#!/usr/bin/env bash
# The sanitizer suite (docs/HARDENING.md): the library, the tool and every
# test program built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the whole test suite run by ctest. Any
# memory error or undefined behaviour stops the test that met it, so the
# suite fails. The same build tree holds the fuzz targets (scripts/fuzz.sh).
#
#   scripts/sanitize.sh [BUILD_DIR]    default: build-sanitize
#
# Environment: VOREL_JOBS (parallel jobs, default nproc), VOREL_CLANG
# (default clang++-16). Prints how long the build and the suite took.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
dir="${1:-build-sanitize}"
jobs="${VOREL_JOBS:-$(nproc)}"
source scripts/sanitizer_env.sh

start=$(date +%s)
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$VOREL_CLANG" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG" \
    -DVOREL_SANITIZE=ON -DVOREL_BUILD_FUZZ=ON -DVOREL_BUILD_BENCH=OFF
fi
cmake --build "$dir" -j"$jobs"
built=$(date +%s)
echo "sanitize: build took $((built - start)) s"

export QT_QPA_PLATFORM=offscreen
status=0
ctest --test-dir "$dir" --output-on-failure -j"$jobs" || status=$?
echo "sanitize: suite took $(($(date +%s) - built)) s"
exit $status
