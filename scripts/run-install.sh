#!/usr/bin/env bash
# The main job: one install through doInst in a fresh 64-bit Wine prefix,
# with its return code and result document shown.
#   scripts/run-install.sh [request.json]
# Without an argument it sends scripts/sample-request.json.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
"$ROOT/scripts/build.sh" >/dev/null
request=${1:-$ROOT/scripts/sample-request.json}
prefix="$ROOT/build/wine/demo-win64"
echo "creating a fresh win64 prefix in $prefix ..."
"$ROOT/scripts/wine-prefix.sh" win64 "$prefix" >/dev/null
set +e
"$ROOT/scripts/wine-run.sh" win64 "$prefix" "$ROOT/build/bin/RvInstHost.exe" \
  --request-file "Z:${request//\//\\}" | tr -d '\r'
rc=${PIPESTATUS[0]}
set -e
echo "(host exit code $rc)"
