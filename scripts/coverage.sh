#!/usr/bin/env bash
# Builds the coverage preset, runs every test with profiling on, then prints the line and
# branch coverage of src/, sim/ and tools/ (overall and per folder) and the test/code line ratio.
#   HVZELTA_COVERAGE_TESTS="regex"  runs only the matching tests (default: all)
#   HVZELTA_COVERAGE_SKIP_BUILD=1   reuses the last build (only reruns the tests)
set -uo pipefail
cd "$(dirname "$0")/.."

build=build/coverage
profiles=$build/profiles
jobs=$(nproc)

if [ -z "${HVZELTA_COVERAGE_SKIP_BUILD:-}" ]; then
  log=$(mktemp)
  if ! { cmake --preset coverage && cmake --build --preset coverage -j "$jobs"; } >"$log" 2>&1; then
    tail -n 80 "$log"; rm -f "$log"; echo "coverage: build FAILED"; exit 1
  fi
  rm -f "$log"
fi

rm -rf "$profiles"
mkdir -p "$profiles"
# The tests install the project and build programs against the installation;
# a copy left by an older tree would lay its line numbers over the new sources.
find "$build/tests" -maxdepth 2 -type d -name installed -exec rm -rf {} +
# %p keeps child processes (emulators, tools run by tests) from overwriting each other.
LLVM_PROFILE_FILE="$PWD/$profiles/%p-%m.profraw" \
  ctest --test-dir "$build" -j "$jobs" --timeout 300 ${HVZELTA_COVERAGE_TESTS:+-R "$HVZELTA_COVERAGE_TESTS"} \
  | tail -n 25
# Sources built into several programs with other settings (the fake VISA
# libraries, for one) differ between profiles; llvm-profdata warns and keeps the first.
llvm-profdata-14 merge -sparse -o "$build/merged.profdata" "$profiles"/*.profraw 2>/dev/null || exit 1

# Every instrumented program and library of the build; the first is the main object.
mapfile -t objects < <(find "$build" \( -path "$profiles" -o -name CMakeFiles \) -prune -o -type f \( -perm -u+x -o -name '*.so*' \) -print |
  while read -r f; do
    llvm-readelf-14 -S "$f" 2>/dev/null | grep -q __llvm_covmap && echo "$f"
  done | sort)
[ "${#objects[@]}" -gt 0 ] || { echo "coverage: no instrumented object found"; exit 1; }
args=("${objects[0]}")
for o in "${objects[@]:1}"; do args+=(-object "$o"); done

echo
llvm-cov-14 export -summary-only -instr-profile="$build/merged.profdata" "${args[@]}" 2>/dev/null |
python3 -c '
import json, os, sys
root = os.getcwd() + "/"
# A header reached through the include roots of several layers appears once per
# root, each copy holding only the functions its includers use: it is one
# file, counted once, by its best-covered copy.
copies = {}
for f in json.load(sys.stdin)["data"][0]["files"]:
    name = os.path.realpath(f["filename"])
    rel = name[len(root):] if name.startswith(root) else name
    if rel.split("/")[0] not in ("src", "sim", "tools"):
        continue
    s = f["summary"]
    lines = (s["lines"]["covered"], s["lines"]["count"])
    branches = (s["branches"]["covered"], s["branches"]["count"])
    best = copies.get(rel)
    copies[rel] = (max(lines, best[0]) if best else lines, max(branches, best[1]) if best else branches)
totals = {}
for rel, (lines, branches) in copies.items():
    parts = rel.split("/")
    for key in ["overall", parts[0]] + (["/".join(parts[:2])] if len(parts) > 2 else []):
        t = totals.setdefault(key, [0, 0, 0, 0])
        t[0] += lines[0]; t[1] += lines[1]; t[2] += branches[0]; t[3] += branches[1]
pct = lambda a, b: 100.0 * a / b if b else 100.0
print("%-22s%9s%10s" % ("folder", "lines", "branches"))
for key in ["overall"] + sorted(k for k in totals if k != "overall"):
    t = totals[key]
    print(f"{key:<22}{pct(t[0], t[1]):>8.1f}%{pct(t[2], t[3]):>9.1f}%")
'

# Test lines against product lines, over the tracked source files.
count() { git ls-files -- "$@" | grep -E '(\.(c|cpp|h|hpp|py|cmake)|CMakeLists\.txt)$' | xargs -r cat | wc -l; }
tests=$(count tests fuzz python/tests tango/tests)
code=$(count src sim tools include python demo examples tango ':!python/tests' ':!tango/tests')
echo
awk -v t="$tests" -v c="$code" 'BEGIN { printf "test/code lines: %d / %d = %.1f%%\n", t, c, 100 * t / c }'
