#!/usr/bin/env bash
# Builds everything from nothing and runs every test. DBP_PRESET picks the CMake preset
# (default: "default"; CI uses "ci", where warnings are errors).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
preset=${DBP_PRESET:-default}
cmake --preset "$preset"
cmake --build --preset "$preset" --parallel "$(nproc)"
ctest --preset "$preset" --parallel "$(nproc)"
