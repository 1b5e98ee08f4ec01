#!/usr/bin/env bash
# Builds the release package of the two deliverables:
#   dist/RvProduct-<version>.zip   one folder RvProduct-<version>/ holding
#       RvInstaller.dll, RvDllLauncher.exe          optimized (-O2), stripped
#       RvInstaller.dll.debug, RvDllLauncher.exe.debug   their debug information,
#                                   linked from each binary by .gnu_debuglink
#       SHA256SUMS                  SHA-256 of the four files
#   dist/SHA256SUMS                 SHA-256 of the zip
# <version> is the project VERSION of the root CMakeLists.txt, which both
# binaries also carry in their version resources.
#
# Sets up what is missing first (scripts/setup.sh), builds in build-release/
# (RelWithDebInfo, no tests), checks the packed binaries with
# scripts/check-binaries.sh --stripped and runs them once on Wine; any
# failure ends the script non-zero and leaves dist/ without a package.
# dist/ is recreated on every run and holds only the latest package.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

BUILD=$ROOT/build-release
DIST=$ROOT/dist
OBJCOPY=i686-w64-mingw32-objcopy
DELIVERABLES=(RvInstaller.dll RvDllLauncher.exe)

log() { printf '[package] %s\n' "$*" >&2; }

# One time stamp for the package: the last commit's. The linker and objcopy
# write it into the PE headers (in place of the current time) and the zip
# entries carry it, so that packing the same binaries again gives the same
# bytes.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
phase_start=$(date +%s%3N)
timings=()
phase_done() { # <name>: records the time since the previous phase ended
  local now ms
  now=$(date +%s%3N)
  ms=$((now - phase_start))
  timings+=("$(printf '%-6s %4d.%d s' "$1" $((ms / 1000)) $((ms % 1000 / 100)))")
  phase_start=$now
}

"$ROOT/scripts/setup.sh"
# A failed run leaves no package behind, not even an older one.
rm -rf "$DIST"
phase_done setup

# --- release build -----------------------------------------------------------
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  log "configuring $BUILD"
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
fi
# RvInstHost only drives the smoke run below; it is not packed.
log "building the release binaries"
cmake --build "$BUILD" -j2 --target RvInstaller RvDllLauncher RvInstHost >/dev/null
phase_done build

# The project VERSION as CMake recorded it at the last configure (the build
# above re-configures when CMakeLists.txt changed).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
if ! [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  log "FATAL: the project version '$version' is not four numbers"
  exit 1
fi
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null || echo unknown)" ]; then
  log "note: packing a working tree that differs from its last commit"
fi

# --- split the debug information off ------------------------------------------
name=RvProduct-$version
stage=$BUILD/package/$name
rm -rf "$BUILD/package"
mkdir -p "$stage"
for f in "${DELIVERABLES[@]}"; do
  cp "$BUILD/bin/$f" "$stage/$f"
  "$OBJCOPY" --only-keep-debug "$stage/$f" "$stage/$f.debug"
  chmod 644 "$stage/$f.debug"
  # --strip-all rather than --strip-debug: the latter keeps the COFF symbol
  # table (about 1 MB per binary) that the Windows loader never reads; the
  # symbols stay in the .debug file.
  "$OBJCOPY" --strip-all "$stage/$f"
  # The link records the file name only; debuggers look for it next to the
  # binary.
  (cd "$stage" && "$OBJCOPY" --add-gnu-debuglink="$f.debug" "$f")
done
phase_done strip

# --- checks --------------------------------------------------------------------
log "checking the packed binaries"
"$ROOT/scripts/check-binaries.sh" --stripped --version "$version" \
  "$stage/RvInstaller.dll" "$stage/RvDllLauncher.exe"
phase_done check

# One run of each stripped binary on Wine, in a copy inside the prefix's
# own drive (nothing here reaches the rest of the machine through Z:):
# - RvInstHost calls doInst with a request whose module folder does not
#   exist: the library loads, parses the request and returns 10 with
#   "Shell pe error" before any install step changes anything;
# - RvDllLauncher loads RvInstaller.dll and looks for a missing export: exit
#   code 0x7F0005, i.e. 5 (library or export rejected) with the Win32 error
#   127 (ERROR_PROC_NOT_FOUND) in the high word, which only a library that
#   loaded can give. A batch file reads the full 32-bit exit code, which
#   Wine's own exit status cuts to 8 bits.
log "running the packed binaries on Wine"
prefix=$BUILD/wine/win32
if [ ! -f "$prefix/system.reg" ]; then
  "$ROOT/scripts/wine-prefix.sh" win32 "$prefix" >/dev/null
fi
smoke=$prefix/drive_c/rvsmoke
rm -rf "$smoke"
mkdir -p "$smoke"
cp "$stage/RvInstaller.dll" "$stage/RvDllLauncher.exe" "$BUILD/bin/RvInstHost.exe" "$smoke/"
cat >"$smoke/request.json" <<'EOF'
{"ver": 2147483648, "tmpDir": "C:\\rvsmoke\\missing\\", "InstallSrcid": "package",
 "bUpdate": false, "params": {}}
EOF
printf '%s\r\n' '@echo off' 'cd /d C:\rvsmoke' \
  'RvInstHost.exe --dll C:\rvsmoke\RvInstaller.dll --request-file request.json' \
  'echo host exit %ERRORLEVEL%' \
  'RvDllLauncher.exe -loadtype:rundll -dllPath:C:\rvsmoke\RvInstaller.dll -expFunc:NoSuchExport' \
  'echo launcher exit %ERRORLEVEL%' >"$smoke/smoke.cmd"
smoke_out=$("$ROOT/scripts/wine-run.sh" win32 "$prefix" cmd /c 'C:\rvsmoke\smoke.cmd' 2>&1 | tr -d '\r') || true
(. "$ROOT/scripts/wine-env.sh" win32 "$prefix" && wineserver -w) || true
rm -rf "$smoke"
if ! grep -qx 'host exit 10' <<<"$smoke_out" ||
  ! grep -q '"strErrorDesc" : "Shell pe error"' <<<"$smoke_out" ||
  ! grep -qx 'launcher exit 8323077' <<<"$smoke_out"; then
  log "FATAL: the packed binaries did not run as expected on Wine:"
  printf '%s\n' "$smoke_out" >&2
  exit 1
fi
phase_done wine

# --- pack ------------------------------------------------------------------------
(cd "$stage" && sha256sum "${DELIVERABLES[@]}" "${DELIVERABLES[@]/%/.debug}" >SHA256SUMS)
mkdir -p "$DIST"
# Entries in name order, all with the package's time stamp.
python3 - "$BUILD/package" "$name" "$DIST/$name.zip" "$SOURCE_DATE_EPOCH" <<'EOF'
import os, sys, time, zipfile
base, name, out, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for entry in sorted(os.listdir(os.path.join(base, name))):
        info = zipfile.ZipInfo(f"{name}/{entry}", stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(base, name, entry), "rb") as f:
            archive.writestr(info, f.read())
EOF
(cd "$DIST" && sha256sum "$name.zip" >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
python3 -m zipfile -t "$DIST/$name.zip" >/dev/null
phase_done pack

# --- summary ---------------------------------------------------------------------
echo "package $DIST/$name.zip (version $version)"
for f in "${DELIVERABLES[@]}" "${DELIVERABLES[@]/%/.debug}" SHA256SUMS; do
  printf '  %-26s %9d bytes\n' "$f" "$(stat -c %s "$stage/$f")"
done
printf '  %-26s %9d bytes\n' "$name.zip" "$(stat -c %s "$DIST/$name.zip")"
echo "timings:"
printf '  %s\n' "${timings[@]}"
