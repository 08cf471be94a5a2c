# Sourced by scripts/sanitize.sh and scripts/fuzz.sh: the compiler and the
# sanitizer run-time options they share.

# Debian 12's clang 14 rejects C++20 "using enum" in some contexts;
# scripts/setup.sh installs clang 16.
export VOREL_CLANG="${VOREL_CLANG:-clang++-16}"
if ! command -v "$VOREL_CLANG" >/dev/null; then
  echo "$VOREL_CLANG not found: run scripts/setup.sh" >&2
  exit 1
fi

# Leaks: fontconfig and Qt keep caches for the life of a process
# (scripts/lsan.supp names them); leaks of Vorel's own objects fail.
# UBSan: stop with a stack at the first finding.
supp="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# Stacks with file and line: the run-time finds the symbolizer by this
# path (programs started by the tests do not always have it on their PATH).
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ]; then
  symbolizer="$(command -v llvm-symbolizer-16 || command -v llvm-symbolizer || true)"
  if [ -n "$symbolizer" ]; then
    export ASAN_SYMBOLIZER_PATH="$symbolizer"
  fi
fi
