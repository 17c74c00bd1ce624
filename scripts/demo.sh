#!/usr/bin/env bash
# Builds the driver and runs the demo. Arguments go to the demo (an option
# string); without them it opens a simulated ZTA200.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target demo >/dev/null
exec build/release/examples/demo "$@"
