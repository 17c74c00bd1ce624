#!/usr/bin/env bash
# Builds and runs every test: g++ optimised, clang with debug info, address+undefined and
# thread sanitizers, then each fuzz target for a bounded time.
#   HVZELTA_PRESETS="release"  limits the builds (default: all four)
#   HVZELTA_FUZZ_SECONDS=N   seconds per fuzz target (default 30; 0 skips fuzzing)
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

presets=${HVZELTA_PRESETS:-"release clang asan tsan"}
fuzz_seconds=${HVZELTA_FUZZ_SECONDS:-30}
jobs=$(nproc)
passed=0
failed=0
status=0

stage() { printf '\n== %s (%s)\n' "$1" "$(date +%H:%M:%S)"; }

# Configures and builds a preset; prints the build's output only when it fails.
build() {
  local log
  log=$(mktemp)
  if cmake --preset "$1" >"$log" 2>&1 && cmake --build --preset "$1" -j "$jobs" >>"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  tail -n 80 "$log"
  rm -f "$log"
  return 1
}

for preset in $presets; do
  stage "build $preset"
  if ! build "$preset"; then
    echo "stage $preset: build FAILED"; status=1; failed=$((failed + 1)); continue
  fi
  stage "test $preset"
  log=$(mktemp)
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" \
    ctest --preset "$preset" -j "$jobs" --timeout 300 2>&1 | tee "$log"
  total=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' "$log" | tail -n 1)
  bad=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  if [ -z "$total" ]; then
    echo "stage $preset: ctest gave no result"; status=1; failed=$((failed + 1))
  else
    passed=$((passed + total - bad)); failed=$((failed + bad))
    [ "$bad" -eq 0 ] || status=1
    echo "stage $preset: $((total - bad)) passed, $bad failed"
  fi
  rm -f "$log"
done

if [ "$fuzz_seconds" -gt 0 ]; then
  stage "build fuzz"
  if build fuzz; then
    for fuzzer in build/fuzz/fuzzers/fuzz_*; do
      [ -x "$fuzzer" ] || continue
      name=$(basename "$fuzzer")
      corpus=$(mktemp -d)
      [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
      if "$fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
           -print_final_stats=0 "$corpus" >"$corpus.log" 2>&1; then
        echo "fuzz $name: ${fuzz_seconds}s, no finding"; passed=$((passed + 1))
      else
        echo "fuzz $name: FINDING"; tail -n 40 "$corpus.log"; status=1; failed=$((failed + 1))
      fi
      rm -rf "$corpus" "$corpus.log"
    done
  else
    echo "stage fuzz: build FAILED"; status=1; failed=$((failed + 1))
  fi
fi

echo
echo "hvzelta: $passed passed, $failed failed"
exit $status
