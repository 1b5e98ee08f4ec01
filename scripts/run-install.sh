#!/usr/bin/env bash
# The main job: one install through doInst in a fresh 64-bit Wine prefix,
# with its return code, its result document and what it left on the system:
# the installed files, the records of config.dat and of the User
# "Config.ini", and the overlay identifier key in the 64-bit registry view.
#   scripts/run-install.sh [request.json]
# Without an argument it sends scripts/sample-request.json. "@PAYLOAD@" in a
# request stands for the folder holding the built modules; a "params" member
# holds the install parameters as plain JSON (the host encodes them).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
"$ROOT/scripts/build.sh" >/dev/null
template=${1:-$ROOT/scripts/sample-request.json}
prefix="$ROOT/build/wine/demo-win64"
request="$ROOT/build/demo-request.json"
python3 - "$template" "$request" "Z:${ROOT//\//\\}\\build\\bin\\payload\\" <<'PY'
import json, sys
template, request, payload = sys.argv[1:4]
text = open(template).read().replace('"@PAYLOAD@"', json.dumps(payload))
open(request, 'w').write(text)
PY

echo "creating a fresh win64 prefix in $prefix ..."
"$ROOT/scripts/wine-prefix.sh" win64 "$prefix" >/dev/null
. "$ROOT/scripts/wine-env.sh" win64 "$prefix"

set +e
wine "$ROOT/build/bin/RvInstHost.exe" --request-file "Z:${request//\//\\}" | tr -d '\r'
rc=${PIPESTATUS[0]}
set -e
echo "(host exit code $rc)"

# C:\... inside the prefix as a Linux path.
unix_path() { local p=${1//\\//}; echo "$WINEPREFIX/drive_c/${p#[Cc]:/}"; }
show_file() {
  echo "--- $1"
  if [ -f "$2" ]; then tr -d '\r' <"$2"; else echo "(missing)"; fi
}

data_config=$(unix_path 'C:\users\'"$(id -un)"'\AppData\Local\TDXdata\config.dat')
show_file 'config.dat (%LOCALAPPDATA%\TDXdata)' "$data_config"
install_dir=$(tr -d '\r' <"$data_config" 2>/dev/null | sed -n 's/^installDir=//p' | head -n1)
if [ -n "$install_dir" ]; then
  folder=$(unix_path "$install_dir")
  echo "--- install folder $install_dir"
  ls -l "$folder" | tail -n +2
  show_file 'Conf\User\Config.ini' "$folder/Conf/User/Config.ini"
  key=$(tr -d '\r' <"$folder/Conf/User/Config.ini" | sed -n 's/^ExplorerKey=//p' | head -n1)
  echo "--- overlay identifier key (64-bit view)"
  wine reg query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\$key" \
    /reg:64 2>/dev/null | tr -d '\r' | sed '/^$/d' || echo "(missing)"
  echo "--- the overlay handler as Explorer creates it (COM, 64-bit)"
  if wine "$ROOT/build/bin/RvOverlayProbe64.exe" "$key" 'C:\overlay-probe.txt' >/dev/null 2>&1; then
    echo "loads $(cat "$WINEPREFIX/drive_c/overlay-probe.txt")"
  else
    echo "(cannot be created)"
  fi
fi
wineserver -w
exit "$rc"
