#!/usr/bin/env bash
# Fuzz smoke (docs/HARDENING.md): builds the libFuzzer targets with clang
# (in the sanitizer build tree, ASan + UBSan) and runs each one for a short
# time on its committed corpus under fuzz/corpus/<target>. A crash, a
# sanitizer report, a hang (an input running longer than the per-input
# timeout) or an allocation past the memory limit fails the run; the input
# that did it is kept under BUILD_DIR/fuzz-findings/ and named in the output.
#
#   scripts/fuzz.sh [options] [TARGET...]     default: every target
#     --time S      seconds per target (default 60, or VOREL_FUZZ_SECONDS)
#     --runs N      a fixed number of inputs per target instead, each target
#                   from the same random seed (--seed, default 1) and with
#                   Qt's hash seed fixed: the same tree then tries the same
#                   inputs on any machine, however loaded, so the run that
#                   CI makes cannot pass once and fail the next time
#     --merge       afterwards fold what the run found into the committed
#                   corpus, minimised (-set_cover_merge=1, the variant of
#                   -merge=1 that keeps the fewest inputs reaching every
#                   feature); commit fuzz/corpus after it
#     --build DIR   build tree (default build-sanitize, shared with
#                   scripts/sanitize.sh)
# Targets: csv emf expr form prepared_stream report_form rtf.
#
# Each target's line reports its executions, coverage (cov: edges) and
# corpus size; the last line says whether any target had a finding.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root" || exit 1

seconds="${VOREL_FUZZ_SECONDS:-60}"
runs=0
seed=1
merge=0
dir=build-sanitize
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    --merge) merge=1; shift ;;
    --build) dir="$2"; shift 2 ;;
    -h|--help) sed -n '2,25p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
all=(csv emf expr form prepared_stream report_form rtf)
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
source scripts/sanitizer_env.sh || exit 1
# Fuzz targets stop at the first finding; leaks of Qt's and fontconfig's
# caches are suppressed as in the suite (each target also sets its own).
export ASAN_OPTIONS="${VOREL_FUZZ_ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=0}"

if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$VOREL_CLANG" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG" \
    -DVOREL_SANITIZE=ON -DVOREL_BUILD_FUZZ=ON -DVOREL_BUILD_BENCH=OFF || exit 1
fi
start=$(date +%s)
cmake --build "$dir" -j"${VOREL_JOBS:-$(nproc)}" --target $(printf 'fuzz_%s ' "${targets[@]}") || exit 1
echo "fuzz: build took $(($(date +%s) - start)) s"

findings="$dir/fuzz-findings"
mkdir -p "$findings"
export QT_QPA_PLATFORM=offscreen
if [ "$runs" -gt 0 ]; then
  # Deterministic: QHash's per-process seed would change which paths (and
  # so which mutations) a run takes. The time bound only stops a hang.
  export QT_HASH_SEED=0
  bound=(-runs="$runs" -seed="$seed" -max_total_time=$((seconds * 5)))
  what="$runs inputs from seed $seed"
else
  bound=(-max_total_time="$seconds")
  what="${seconds} s"
fi
passed=0
failed=0
for t in "${targets[@]}"; do
  corpus="fuzz/corpus/$t"
  mkdir -p "$corpus"
  # New inputs go to a scratch folder; the committed corpus is only read.
  scratch="$dir/fuzz-scratch/$t"
  rm -rf "$scratch"
  mkdir -p "$scratch"
  log="$dir/fuzz-$t.log"
  "$dir/bin/fuzz_$t" "$scratch" "$corpus" "${bound[@]}" -timeout=30 -rss_limit_mb=3072 \
    -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$t-" >"$log" 2>&1
  rc=$?
  executed=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+')
  if [ $rc -eq 0 ]; then
    passed=$((passed + 1))
    echo "fuzz: $t ok: ${executed:-?} runs ($what), cov ${cov:-?} edges, corpus $(ls "$corpus" | wc -l) + $(ls "$scratch" | wc -l) new"
  else
    failed=$((failed + 1))
    echo "fuzz: $t FAILED (exit $rc) after ${executed:-?} runs; log $log; the input:"
    grep -E 'Test unit written to|ERROR:|SUMMARY:' "$log" | head -5
  fi
  if [ $merge -eq 1 ] && [ $rc -eq 0 ] && [ -n "$(ls "$scratch")" ]; then
    # The smallest set of inputs (old and new) that reaches every feature
    # any of them reaches; the hand-made seeds (named, not hashes) stay.
    before=$(ls "$corpus" | wc -l)
    merged="$dir/fuzz-merged/$t"
    rm -rf "$merged"
    mkdir -p "$merged"
    if "$dir/bin/fuzz_$t" -set_cover_merge=1 -timeout=30 -rss_limit_mb=3072 "$merged" "$corpus" "$scratch" \
      >"$dir/fuzz-$t-merge.log" 2>&1; then
      find "$corpus" -maxdepth 1 -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
      cp -n "$merged"/* "$corpus"/ 2>/dev/null
      echo "fuzz: $t corpus $before -> $(ls "$corpus" | wc -l) files, $(du -sb "$corpus" | cut -f1) bytes"
    fi
  fi
done
# Worded apart from a test runner's summary: CI reads those from ctest.
if [ $failed -eq 0 ]; then
  echo "fuzz: all $passed targets ran without a finding"
else
  echo "fuzz: $failed of $((passed + failed)) targets had a finding"
fi
[ $failed -eq 0 ]
