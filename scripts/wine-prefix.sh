#!/usr/bin/env bash
# Creates a fresh Wine prefix: wine-prefix.sh <win64|win32> <folder> [<bin>]
# The test run calls it once per prefix kind; every test of that kind then
# reuses the prefix. With <bin>, the prefix is fenced off from the machine:
# drive Z: (the Linux root) is removed and drive P: maps <bin> instead, so
# that a delete that goes astray in a test cannot reach the machine's files
# through a drive. (Wine's "\\?\unix\" paths still reach them.)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${3:-}
[ -z "$bin" ] || bin=$(realpath "$bin")
. "$here/wine-env.sh" "$1" "$2"
if [ -d "$WINEPREFIX" ]; then
  # Only a Wine prefix (or an empty folder) is ever removed here.
  if [ ! -f "$WINEPREFIX/system.reg" ] && [ -n "$(ls -A "$WINEPREFIX")" ]; then
    echo "wine-prefix.sh: $WINEPREFIX exists and is not a Wine prefix; not replacing it" >&2
    exit 1
  fi
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
fi
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot --init >/dev/null 2>&1
wineserver -w
# A new prefix links the user's Desktop, Documents, Downloads, Music,
# Pictures, Videos and Templates to $HOME: an install into such a special
# folder, or a delete there, would act on this machine's home folder. Every
# link under drive_c/users that leads out of the prefix becomes an empty
# folder before anything runs in the prefix. Wine makes such a link again
# only when it creates a missing special folder; wineboot updates leave
# existing folders alone.
users="$WINEPREFIX/drive_c/users"
while IFS= read -r -d '' link; do
  case "$(realpath -m "$link")" in
    "$WINEPREFIX"/*) ;;
    *) rm "$link"; mkdir "$link" ;;
  esac
done < <(find "$users" -type l -print0)
if [ -n "$bin" ]; then
  rm -f "$WINEPREFIX/dosdevices/z:"
  ln -sfn "$bin" "$WINEPREFIX/dosdevices/p:"
  # The current folder chosen before the prefix existed lay outside it.
  . "$here/wine-env.sh" "$1" "$2"
fi
out=$(wine cmd /c echo ok 2>/dev/null | tr -d '\r')
if [ "$out" != ok ]; then
  echo "Wine prefix $WINEPREFIX ($WINEARCH) cannot run programs (got '$out')" >&2
  exit 1
fi
echo "prefix $WINEARCH ready at $WINEPREFIX"
