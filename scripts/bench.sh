#!/usr/bin/env bash
# Runs the benchmarks under bench/ in the win64 test prefix (created when
# missing). Numbers are for comparison between builds on the same machine.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
"$ROOT/scripts/build.sh" >/dev/null
prefix="$ROOT/build/wine/bench-win64"
[ -d "$prefix" ] || "$ROOT/scripts/wine-prefix.sh" win64 "$prefix" >/dev/null
"$ROOT/scripts/wine-run.sh" win64 "$prefix" "$ROOT/build/bin/rv_request_bench.exe" | tr -d '\r'
