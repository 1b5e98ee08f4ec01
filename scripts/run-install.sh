#!/usr/bin/env bash
# The main job, in a fresh 64-bit Wine prefix: an install through doInst,
# the product's core module started by the launcher, and an upgrade over the
# running installation, with each result and what it left on the system
# (files, the records of config.dat and of the User "Config.ini", the
# overlay key in the 64-bit registry view, the module COM loads for it), and
# what became of the previous installation.
#   scripts/run-install.sh                      install A, run it, upgrade to B
#   scripts/run-install.sh <request.json>       one install of that request
#   scripts/run-install.sh <first> <second>     the story with these requests
# "@PAYLOAD@" in a request stands for the folder holding the built modules;
# a "params" member holds the install parameters as plain JSON (the host
# encodes them).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
"$ROOT/scripts/build.sh" >/dev/null
if [ $# -eq 0 ]; then
  set -- "$ROOT/scripts/sample-request.json" "$ROOT/scripts/sample-upgrade.json"
fi
prefix="$ROOT/build/wine/demo-win64"
echo "creating a fresh win64 prefix in $prefix ..."
"$ROOT/scripts/wine-prefix.sh" win64 "$prefix" >/dev/null
. "$ROOT/scripts/wine-env.sh" win64 "$prefix"

# C:\... inside the prefix as a Linux path.
unix_path() { local p=${1//\\//}; echo "$WINEPREFIX/drive_c/${p#[Cc]:/}"; }
data_config=$(unix_path 'C:\users\'"$(id -un)"'\AppData\Local\TDXdata\config.dat')
overlays='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers'

show_file() {
  echo "--- $1"
  if [ -f "$2" ]; then tr -d '\r' <"$2"; else echo "(missing)"; fi
}
ini_value() { tr -d '\r' <"$1" 2>/dev/null | sed -n "s/^$2=//p" | head -n1; }
overlay_key() {
  local out
  out=$(wine reg query "$overlays\\$1" /reg:64 2>/dev/null | tr -d '\r' | sed '/^$/d' |
    grep -v '^reg:' || true)
  echo "${out:-(missing: $1)}"
}
core_running() { pgrep -f 'rundll32.exe' >/dev/null; }

# install <request template>: sends it through the host, shows what it left.
install() {
  local request="$ROOT/build/demo-request.json" rc
  python3 - "$1" "$request" "Z:${ROOT//\//\\}\\build\\bin\\payload\\" <<'PY'
import json, sys
template, request, payload = sys.argv[1:4]
text = open(template).read().replace('"@PAYLOAD@"', json.dumps(payload))
open(request, 'w').write(text)
PY
  echo "=== install $(basename "$1")"
  set +e
  wine "$ROOT/build/bin/RvInstHost.exe" --request-file "Z:${request//\//\\}" | tr -d '\r'
  rc=${PIPESTATUS[0]}
  set -e
  echo "(host exit code $rc)"
  show_file 'config.dat (%LOCALAPPDATA%\TDXdata)' "$data_config"
  installed=$(ini_value "$data_config" installDir)
  [ -n "$installed" ] || return 0
  local folder key
  folder=$(unix_path "$installed")
  echo "--- install folder $installed"
  ls -l "$folder" | tail -n +2
  show_file 'Conf\User\Config.ini' "$folder/Conf/User/Config.ini"
  key=$(ini_value "$folder/Conf/User/Config.ini" ExplorerKey)
  echo "--- overlay identifier key (64-bit view)"
  overlay_key "$key"
  echo "--- the overlay handler as Explorer creates it (COM, 64-bit)"
  if wine "$ROOT/build/bin/RvOverlayProbe64.exe" "$key" 'C:\overlay-probe.txt' >/dev/null 2>&1; then
    echo "loads $(cat "$WINEPREFIX/drive_c/overlay-probe.txt")"
  else
    echo "(cannot be created)"
  fi
}

install "$1"
[ $# -ge 2 ] || { wineserver -w; exit 0; }

previous=$installed
previous_key=$(ini_value "$(unix_path "$previous")/Conf/User/Config.ini" ExplorerKey)
echo "=== start the core module of $previous through the launcher"
launched=0
wine "$ROOT/build/bin/RvDllLauncher.exe" -loadtype:rundll \
  -dllPath:"$previous\\CoreModule.dll" -expFunc:RunCore -dllParam:demo || launched=$?
echo "launcher exit code $launched"
sleep 1
core_running && echo "core module: running (rundll32)" || echo "core module: not running"
printf '[custom]\r\nnote=kept across the upgrade\r\n' >>"$(unix_path "$previous")/Conf/User/Config.ini"
mkdir -p "$(unix_path "$previous")/Task" && echo "task data" >"$(unix_path "$previous")/Task/job.dat"
echo "(added [custom] note= to its Config.ini and Task\\job.dat)"

install "$2"
echo "=== what became of the previous installation $previous"
for _ in 1 2 3 4 5 6 7 8 9 10; do core_running || break; sleep 0.5; done
core_running && echo "core module: still running" || echo "core module: ended"
if [ -d "$(unix_path "$previous")" ]; then
  echo "folder: still in place ($(ls "$(unix_path "$previous")" | tr '\n' ' '))"
else
  echo "folder: gone from its place"
fi
otdx="$(unix_path 'C:\users\'"$(id -un)"'\AppData\Local\Temp\otdx')"
[ -d "$otdx" ] && echo "otdx (moved aside): $(ls "$otdx" | tr '\n' ' ')"
waitdel=$(ini_value "$data_config" waitdel)
echo "waitdel: ${waitdel:-(none)}"
echo "previous overlay key:"
overlay_key "$previous_key"
wineserver -k 2>/dev/null || true
wineserver -w
