#!/usr/bin/env bash
# Runs a Windows program in a prefix: wine-run.sh <win64|win32> <folder> <exe> [args...]
# For GoogleTest programs (RV_GTEST=1) the run only passes when the program
# printed its PASSED summary: Wine that cannot start a 32-bit program exits 0
# with no output, which must never count as a pass.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$1" "$2"
shift 2
# In a fenced prefix (see wine-prefix.sh) a program of the build output is
# started through drive P:, as a path Wine can name without drive Z:.
mapped=$(readlink "$WINEPREFIX/dosdevices/p:" 2>/dev/null || true)
if [ -n "$mapped" ] && [ "${1#"$mapped"/}" != "$1" ]; then
  program=${1#"$mapped"/}
  shift
  set -- "P:\\${program//\//\\}" "$@"
fi
if [ "${RV_GTEST:-0}" != 1 ]; then
  exec wine "$@"
fi
log=$(mktemp)
wine "$@" 2>&1 | tr -d '\r' | tee "$log"
rc=${PIPESTATUS[0]}
if [ "$rc" = 0 ] && ! grep -Eq '^\[  PASSED  \] [0-9]+ test' "$log"; then
  echo "wine-run: no GoogleTest summary in the output; counting as failure" >&2
  rc=1
fi
rm -f "$log"
exit "$rc"
