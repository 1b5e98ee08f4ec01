#!/usr/bin/env bash
# Runs every test: sets up what is missing, builds, creates the two Wine
# prefixes (64-bit and 32-bit Windows) and runs all test programs on both.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
"$ROOT/scripts/build.sh"
ctest --preset default "$@"
