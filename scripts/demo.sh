#!/usr/bin/env bash
# Builds the driver and runs the demo: without arguments on the built-in
# emulator, else on the instrument named by RESOURCE [OPTIONS]. The method
# trace and its page are left in build/release/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target demo >/dev/null
cd build/release
exec ./examples/demo "$@"
