#!/usr/bin/env bash
# Builds everything, the window included, with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole suite; the first error or leak fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$(nproc)"
ctest --preset sanitize --parallel "$(nproc)"
