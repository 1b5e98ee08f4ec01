#!/usr/bin/env bash
# Creates a fresh Wine prefix: wine-prefix.sh <win64|win32> <folder>
# The test run calls it once per prefix kind; every test of that kind then
# reuses the prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$1" "$2"
if [ -d "$WINEPREFIX" ]; then
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
fi
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot --init >/dev/null 2>&1
wineserver -w
out=$(wine cmd /c echo ok 2>/dev/null | tr -d '\r')
if [ "$out" != ok ]; then
  echo "Wine prefix $WINEPREFIX ($WINEARCH) cannot run programs (got '$out')" >&2
  exit 1
fi
echo "prefix $WINEARCH ready at $WINEPREFIX"
