#!/usr/bin/env bash
# Benchmarks against what a user would do instead, run on demand (never as
# tests). Every figure is a ratio against a baseline measured in the same
# win64 Wine prefix in the same run, product and baseline alternating
# (A B A B ...); the table shows the median of the pairs' ratios with their
# minimum and maximum. All programs compared are 32-bit unless a row says
# otherwise.
#   scripts/bench.sh [install] [upgrade] [launcher] [memory]   (default: all)
#   scripts/bench.sh request        the request-path micro-benchmark
# RV_BENCH_PAIRS sets the pairs per figure (default 5, at least 5);
# RV_BUILD_DIR the build folder (default build). The prefix is
# <build>/wine/bench-win64, created when missing; its C:\bench holds the
# data, each run's output (runs.log) and the raw figures (results.txt).
#
# Each run is timed inside the prefix by rv_bench_clock.exe (bench/), from
# its CreateProcess to the end of the process, so Wine's start of the clock
# itself is not in the figure. Another clock holds the desktop throughout,
# so Wine's desktop process stays up as Explorer does on Windows.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
BUILD=${RV_BUILD_DIR:-build}
PAIRS=${RV_BENCH_PAIRS:-5}
[ "$PAIRS" -ge 5 ] || { echo "bench.sh: RV_BENCH_PAIRS must be at least 5" >&2; exit 2; }
figures=("$@")
[ ${#figures[@]} -gt 0 ] || figures=(install upgrade launcher memory)

if [ "$BUILD" = build ]; then
  "$ROOT/scripts/build.sh" >/dev/null
else
  "$ROOT/scripts/setup.sh"
  [ -f "$BUILD/CMakeCache.txt" ] || cmake --preset default -B "$BUILD" >/dev/null
  cmake --build "$BUILD" -j2 >/dev/null
fi
case $BUILD in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
BIN="$BUILD/bin"
prefix="$BUILD/wine/bench-win64"
if [ ! -f "$prefix/system.reg" ]; then
  # A folder left by a failed creation goes first; anything else is not ours.
  [ ! -d "$prefix" ] || rmdir "$prefix" || { echo "bench.sh: $prefix is no prefix" >&2; exit 1; }
  "$ROOT/scripts/wine-prefix.sh" win64 "$prefix" >/dev/null
fi
. "$ROOT/scripts/wine-env.sh" win64 "$prefix"

if [ "${figures[0]}" = request ]; then
  wine "$BIN/rv_request_bench.exe" | tr -d '\r'
  exit 0
fi

# Windows names: Z: is the Linux root.
win() { local p=${1//\//\\}; echo "Z:$p"; }
drive_c="$WINEPREFIX/drive_c"
bench="$drive_c/bench"
user_data="$drive_c/users/$(id -un)/AppData/Local"
programdata="$drive_c/ProgramData"
payload="$(win "$BIN/payload")\\"
host="$(win "$BIN/RvInstHost.exe")"
cmd32='C:\windows\syswow64\cmd.exe'
cmd64='C:\windows\sysnative\cmd.exe'
mkdir -p "$bench"
results="$bench/results.txt"
log="$bench/runs.log"
: >"$results"
: >"$log"

fail() { echo "bench.sh: $*" >&2; exit 1; }
record() { echo "$*" >>"$results"; }

# clock [--memory] <command line>: runs it through the clock; sets
# $seconds, $code and $peak.
clock() {
  local memory=() line
  if [ "$1" = --memory ]; then memory=(--memory); shift; fi
  line=$(RV_BENCH_COMMAND="$1" wine "$BIN/rv_bench_clock.exe" run "${memory[@]}" 2>>"$log" |
         tr -d '\r' | tee -a "$log" | grep '^RVBENCH ' | tail -n1) || true
  [ -n "$line" ] || fail "no measurement for: $1"
  read -r _ seconds code peak <<<"$line"
}
# must <exit code> <what>: the measured run must have ended with it.
must() { [ "$code" = "$1" ] || fail "$2 ended with $code (see $log)"; }

# trace_processes <name> <command line>: runs it once more with Wine's
# loader traced and records how many processes it started (each process
# loads one main program; the clock itself is not counted) and which.
trace_processes() {
  local trace="$bench/processes-$1.txt" names
  RV_BENCH_COMMAND="$2" WINEDEBUG=-all,+loaddll \
    wine "$BIN/rv_bench_clock.exe" run >>"$log" 2>"$trace" || true
  names=$(grep -ao 'Loaded L"[^"]*\.exe"' "$trace" | grep -v rv_bench_clock.exe |
          sed 's/.*\\\\\([^\\]*\.exe\)"/\1/' | tr 'A-Z' 'a-z' |
          awk '{n[$0]++} END {for (k in n) printf "%s%s", (c++ ? ", " : ""), (n[k] > 1 ? n[k] "x " k : k)}')
  record "$1" processes "$(grep -ao 'Loaded L"[^"]*\.exe"' "$trace" | grep -vc rv_bench_clock.exe)" \
    "$names"
}

# request <file> <subDir> <key> <version> [tmpDir]: a request in C:\bench.
request() {
  python3 - "$bench/$1" "$2" "$3" "$4" "${5:-$payload}" <<'PY'
import json, sys
path, sub, key, version, tmp = sys.argv[1:6]
json.dump({"ver": 1, "tmpDir": tmp, "InstallSrcid": "77", "bUpdate": False,
           "params": {"csidlDir": 35, "subDir": sub, "ExplorerKey": key, "ChannelID": "1006",
                      "GroupID": "bench", "UpdateVersion": version}}, open(path, "w"))
PY
}
# No installation recorded and no folder of an earlier run left.
forget_installs() {
  rm -f "$user_data/TDXdata/config.dat"
  rm -rf "$programdata"/RvBench_* "$user_data/Temp/otdx"
  # The scripts register the product's class for a folder that is not the
  # product's; a machine without an installation has no such registration,
  # which an install would refuse to take over once its module is gone.
  wine reg delete 'HKLM\Software\Classes\CLSID\{3F6A2C91-5B7E-4D08-9A41-C2E7F05B1D63}' \
    /f /reg:64 >/dev/null 2>&1 || true
}

wine "$BIN/rv_bench_clock.exe" hold >>"$log" 2>&1 &
holder=$!
release() {
  wine "$BIN/rv_bench_clock.exe" release >/dev/null 2>&1 || true
  wait "$holder" 2>/dev/null || true
  forget_installs
}
trap release EXIT
sleep 2

# 1. A fresh install through the host against the script a user would
# write instead (copy the three modules, register the shell module with
# "regsvr32 /i /s", query the overlay key), run by the 32-bit cmd.exe; the
# native 64-bit cmd.exe runs it too, for comparison.
install_figure() {
  printf '%s\r\n' '@echo off' \
    'mkdir "%~1"' \
    'copy /b /y "%~2PuShellExtDllx.dll" "%~1\Dovadi.dll" >nul' \
    'copy /b /y "%~2PuTaskService.dll" "%~1\CoreModule.dll" >nul' \
    'copy /b /y "%~2RvDumpReport.exe" "%~1\RvDumpReport.exe" >nul' \
    'regsvr32 /i /s "%~1\Dovadi.dll"' \
    'if errorlevel 1 exit /b 5' \
    'reg query "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers\PuShellIconOverlay" /reg:64 >nul' \
    'if errorlevel 1 exit /b 6' >"$bench/fresh.bat"
  request fresh.json RvBench_Fresh PuShellIconOverlay 1.0.6.9001
  local product="$host --request-file C:\\bench\\fresh.json"
  local script="/c C:\\bench\\fresh.bat C:\\ProgramData\\RvBench_Script $payload"
  local i
  # Round 0 warms the caches and is not counted.
  for ((i = 0; i <= PAIRS; i++)); do
    forget_installs
    clock "$product"; must 0 "the install"
    [ -f "$programdata/RvBench_Fresh/CoreModule.dll" ] || fail "the install placed nothing"
    [ $i -eq 0 ] || record install product "$seconds"
    forget_installs
    clock "$cmd32 $script"; must 0 "the 32-bit script"
    [ -f "$programdata/RvBench_Script/CoreModule.dll" ] || fail "the script placed nothing"
    [ $i -eq 0 ] || record install baseline "$seconds"
    forget_installs
    clock "$cmd64 $script"; must 0 "the 64-bit script"
    [ $i -eq 0 ] || record install native "$seconds"
  done
  forget_installs
  trace_processes install-product "$product"
  forget_installs
  trace_processes install-baseline "$cmd32 $script"
  forget_installs
  trace_processes install-native "$cmd64 $script"
  forget_installs
}

# The "Task" tree of the upgrade figure: 10,000 files of 20,972 bytes
# (200 MiB) in 10 x 10 folders three levels below Task, made once; each
# run gets a copy of it, made before the clock starts (not hard links: a
# file with a second name is never carried over).
task_template() {
  local template="$bench/template/Task"
  if [ "$(find "$template" -type f 2>/dev/null | wc -l)" != 10000 ]; then
    rm -rf "$bench/template"
    python3 - "$template" <<'PY'
import os, sys
root = sys.argv[1]
for a in range(10):
    for b in range(10):
        folder = os.path.join(root, "d%d" % a, "e%d" % b)
        os.makedirs(folder)
        for c in range(100):
            with open(os.path.join(folder, "f%03d.dat" % c), "wb") as f:
                f.write(os.urandom(20972))
PY
  fi
  echo "$template"
}

# 2. An upgrade that carries the previous installation's large Task tree
# over and retires it, against the same tree copied and then deleted by the
# 32-bit xcopy and cmd.exe's rmdir.
upgrade_figure() {
  local template i
  template=$(task_template)
  request upgrade-a.json RvBench_A PuShellIconOverlay 1.0.6.9001
  request upgrade-b.json RvBench_B PuShellIconOverlay2 1.0.6.9002
  local first="$host --request-file C:\\bench\\upgrade-a.json"
  local upgrade="$host --request-file C:\\bench\\upgrade-b.json"
  local copy="$cmd32 /c xcopy /e /i /q C:\\ProgramData\\RvBench_X\\Task C:\\ProgramData\\RvBench_Y\\Task >nul && rmdir /s /q C:\\ProgramData\\RvBench_X\\Task"
  for ((i = 0; i <= PAIRS; i++)); do
    forget_installs
    clock "$first"; must 0 "installation A"
    cp -a "$template" "$programdata/RvBench_A/Task" && sync
    clock "$upgrade"; must 0 "the upgrade"
    [ "$(find "$programdata/RvBench_B/Task" -type f | wc -l)" = 10000 ] || fail "the upgrade lost files"
    [ ! -e "$programdata/RvBench_A" ] || fail "the upgrade left A in place"
    [ $i -eq 0 ] || record upgrade product "$seconds"
    forget_installs
    mkdir -p "$programdata/RvBench_X"
    cp -a "$template" "$programdata/RvBench_X/Task" && sync
    clock "$copy"; must 0 "xcopy and rmdir"
    [ "$(find "$programdata/RvBench_Y/Task" -type f | wc -l)" = 10000 ] || fail "xcopy lost files"
    [ ! -e "$programdata/RvBench_X/Task" ] || fail "rmdir left the tree"
    [ $i -eq 0 ] || record upgrade baseline "$seconds"
  done
  forget_installs
}

# 3. The launcher against its floor, measured in the same rounds: an empty
# 32-bit program, two rundll32.exe starts (the launcher's probe and its
# real start) and the 300 ms the launcher has to wait. The export it starts
# lingers a second, as a core module does, so the launcher's wait after the
# start runs out in full.
launcher_figure() {
  local exports launcher empty rundll i
  exports="$(win "$BIN/RvBenchExports.dll")"
  launcher="$(win "$BIN/RvDllLauncher.exe") -loadtype:rundll -dllPath:\"$exports\" -expFunc:Linger -dllParam:bench"
  empty="$(win "$BIN/rv_bench_empty.exe")"
  rundll="rundll32.exe \"$exports\",Return"
  for ((i = 0; i <= PAIRS; i++)); do
    clock "$launcher"; must 0 "the launcher"
    [ $i -eq 0 ] || record launcher product "$seconds"
    sleep 1.2  # the lingering export ends
    clock "$empty"; must 0 "the empty program"
    [ $i -eq 0 ] || record launcher empty "$seconds"
    clock "$rundll"; must 0 "rundll32"
    [ $i -eq 0 ] || record launcher rundll1 "$seconds"
    clock "$rundll"; must 0 "rundll32"
    [ $i -eq 0 ] || record launcher rundll2 "$seconds"
  done
  # Peak working sets, in runs of their own.
  for ((i = 1; i <= PAIRS; i++)); do
    clock --memory "$launcher"; must 0 "the launcher"
    record launcher-memory product "$peak"
    sleep 1.2
    clock --memory "$empty"; must 0 "the empty program"
    record launcher-memory empty "$peak"
  done
}

# 4. The host's peak working set during an install whose core module is
# 1 GiB against one whose core module is 10 MiB (payload copies with the
# core module padded at its end).
memory_figure() {
  local size i
  for size in 10M 1G; do
    rm -rf "$bench/payload-$size"
    cp -r "$BIN/payload" "$bench/payload-$size"
    truncate -s "$size" "$bench/payload-$size/PuTaskService.dll"
    request "memory-$size.json" RvBench_Memory PuShellIconOverlay 1.0.6.9001 \
      "C:\\bench\\payload-$size\\"
  done
  for ((i = 0; i <= PAIRS; i++)); do
    forget_installs
    clock --memory "$host --request-file C:\\bench\\memory-1G.json"; must 0 "the 1 GiB install"
    [ $i -eq 0 ] || record memory product "$peak"
    forget_installs
    clock --memory "$host --request-file C:\\bench\\memory-10M.json"; must 0 "the 10 MiB install"
    [ $i -eq 0 ] || record memory baseline "$peak"
  done
  forget_installs
  rm -rf "$bench"/payload-*
}

for figure in "${figures[@]}"; do
  case $figure in
    install | upgrade | launcher | memory) "${figure}_figure" ;;
    *) fail "unknown figure $figure" ;;
  esac
done
release
trap - EXIT

# The table.
python3 - "$results" <<'PY'
import statistics, sys
rows, extra = {}, {}
for line in open(sys.argv[1]):
    parts = line.split(None, 3)
    if parts[1] == "processes":
        extra[parts[0]] = (parts[2], parts[3].strip() if len(parts) > 3 else "")
    else:
        rows.setdefault((parts[0], parts[1]), []).append(float(parts[2]))

def ratios(a, b):
    r = [x / y for x, y in zip(a, b)]
    return statistics.median(r), min(r), max(r)

def ratio_text(m):
    return "%.2f (%.2f-%.2f)" % m

table = []
def add(figure, product, baseline, ratio, target, met):
    table.append((figure, product, baseline, ratio, target, met))

def seconds(values):
    return "%.3f s" % statistics.median(values)

if ("install", "product") in rows:
    p, b, n = rows["install", "product"], rows["install", "baseline"], rows["install", "native"]
    m = ratios(p, b)
    add("1 fresh install: host vs script in 32-bit cmd", seconds(p), seconds(b), ratio_text(m),
        "<= 1.10", "yes" if m[0] <= 1.10 else "NO")
    add("1 same, vs script in native 64-bit cmd", seconds(p), seconds(n), ratio_text(ratios(p, n)),
        "-", "-")
    for side, name in (("product", "host"), ("baseline", "32-bit cmd"), ("native", "64-bit cmd")):
        if "install-" + side in extra:
            count, names = extra["install-" + side]
            add("1 processes started: " + name, count, "", names, "-", "-")
if ("upgrade", "product") in rows:
    p, b = rows["upgrade", "product"], rows["upgrade", "baseline"]
    m = ratios(p, b)
    add("2 upgrade, Task 10,000 files/200 MiB vs xcopy+rmdir", seconds(p), seconds(b),
        ratio_text(m), "<= 1.2", "yes" if m[0] <= 1.2 else "NO")
if ("launcher", "product") in rows:
    p = rows["launcher", "product"]
    floor = [e + r1 + r2 + 0.3 for e, r1, r2 in zip(rows["launcher", "empty"],
                                                   rows["launcher", "rundll1"],
                                                   rows["launcher", "rundll2"])]
    m = ratios(p, floor)
    add("3 launcher vs empty + 2 rundll32 starts + 0.3 s", seconds(p), seconds(floor),
        ratio_text(m), "<= 1.15", "yes" if m[0] <= 1.15 else "NO")
    add("3 (floor parts: empty / rundll32 start)", seconds(rows["launcher", "empty"]),
        seconds(rows["launcher", "rundll1"] + rows["launcher", "rundll2"]), "", "-", "-")
if ("launcher-memory", "product") in rows:
    p, b = rows["launcher-memory", "product"], rows["launcher-memory", "empty"]
    add("3 launcher peak working set vs empty program",
        "%.1f MiB" % (statistics.median(p) / 2**20), "%.1f MiB" % (statistics.median(b) / 2**20),
        ratio_text(ratios(p, b)), "-", "-")
if ("memory", "product") in rows:
    p, b = rows["memory", "product"], rows["memory", "baseline"]
    d = [(x - y) / 2**20 for x, y in zip(p, b)]
    md = statistics.median(d)
    add("4 host peak working set: 1 GiB vs 10 MiB core",
        "%.1f MiB" % (statistics.median(p) / 2**20), "%.1f MiB" % (statistics.median(b) / 2**20),
        "%+.1f MiB (%+.1f..%+.1f)" % (md, min(d), max(d)), "within 5 MiB",
        "yes" if abs(md) <= 5 else "NO")

header = ("figure", "product", "baseline", "ratio: median (min-max)", "target", "met")
widths = [max(len(str(r[i])) for r in table + [header]) for i in range(6)]
def show(r):
    print("| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |")
show(header)
print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
for r in table:
    show(r)
PY
