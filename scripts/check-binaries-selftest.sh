#!/usr/bin/env bash
# Proves that scripts/check-binaries.sh rejects the faults it is there for:
# it cross-compiles small stand-ins for the two deliverables (a DLL with
# doInst and a program, each with a version resource), one sound pair and
# one pair per fault, and expects the check to pass the sound pair and to
# fail each faulty one for the right reason. Takes about 10 s.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check=$here/check-binaries.sh
CC=i686-w64-mingw32-gcc-posix
CXX=i686-w64-mingw32-g++-posix
CC64=x86_64-w64-mingw32-gcc-posix
WINDRES=i686-w64-mingw32-windres
OBJCOPY=i686-w64-mingw32-objcopy

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# --- sources ---------------------------------------------------------------
cat >installer.c <<'EOF'
#include <string.h>
__declspec(dllexport) int doInst(const char* request, char** result) {
    *result = 0;
    return request && strlen(request) ? 0 : 11;
}
#ifdef EXTRA_EXPORT
__declspec(dllexport) int doUninst(void) { return 0; }
#endif
#ifdef TEST_SWITCH
__attribute__((used)) static const char kSwitch[] = "RV_TEST_KILL_AT";
#endif
EOF
cat >installer.cpp <<'EOF'
#include <string>
extern "C" __declspec(dllexport) int doInst(const char* request, char** result) {
    *result = nullptr;
    return std::string(request).empty() ? 11 : 0;
}
EOF
# The system DLLs the real launcher loads (statically today, perhaps on
# demand later) are all imported here, so the allow-list must take them.
cat >launcher.c <<'EOF'
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <shellapi.h>
#include <urlmon.h>
int doInst(const char* request, char** result);
#ifdef EXPORTED
__declspec(dllexport)
#endif
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR line, int show) {
    (void)a; (void)b; (void)show;
    if (line[0] == '#') {
        ULONG size = 0;
        GetAdaptersInfo(NULL, &size);
        ShellExecuteW(NULL, NULL, NULL, NULL, NULL, 0);
        URLDownloadToFileW(NULL, NULL, NULL, 0, NULL);
        GetFileVersionInfoSizeW(NULL, NULL);
#ifdef IMPORTS_INSTALLER
        char* result;
        return doInst(line, &result);
#endif
    }
    return 0;
}
EOF
LAUNCHER_LIBS=(-liphlpapi -lshell32 -lurlmon -lversion)

# version_rc <file> <a,b,c,d> <a.b.c.d string> [<product string>]
version_rc() {
  cat >"$1" <<EOF
#include <winver.h>
VS_VERSION_INFO VERSIONINFO
FILEVERSION $2
PRODUCTVERSION $2
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904b0"
        BEGIN
            VALUE "FileVersion", "$3"
            VALUE "ProductVersion", "${4:-$3}"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x409, 1200
    END
END
EOF
}
version_rc v2345.rc 2,3,4,5 2.3.4.5
version_rc v2346.rc 2,3,4,6 2.3.4.6
version_rc vmixed.rc 2,3,4,5 2.3.4.5 2.3.4.6
for v in v2345 v2346 vmixed; do
  "$WINDRES" -O coff "$v.rc" "$v.o"
done

# --- fixtures (one folder per case, binaries named like the products) ------
dll() { # <folder> <compiler and flags...>
  local dir=$1; shift
  mkdir -p "$dir"
  "$@" -shared -o "$dir/RvInstaller.dll" -Wl,--out-implib,"$dir/libRvInstaller.a"
}
exe() { # <folder> <flags...>
  local dir=$1; shift
  mkdir -p "$dir"
  "$CC" -mwindows -static -o "$dir/RvDllLauncher.exe" launcher.c "$@" "${LAUNCHER_LIBS[@]}"
}

dll good "$CC" -static installer.c v2345.o
exe good v2345.o

mkdir -p mismatch && cp good/RvInstaller.dll mismatch/
exe mismatch v2346.o

dll mixed "$CC" -static installer.c vmixed.o
cp good/RvDllLauncher.exe mixed/

dll noversion "$CC" -static installer.c
cp good/RvDllLauncher.exe noversion/

dll extra "$CC" -static -DEXTRA_EXPORT installer.c v2345.o
cp good/RvDllLauncher.exe extra/

# An export with no name: only the export address table shows it.
mkdir -p ordinal
printf 'EXPORTS\ndoInst\nHidden=doInst @7 NONAME\n' >ordinal/exports.def
"$CC" -static -shared -o ordinal/RvInstaller.dll installer.c v2345.o ordinal/exports.def
cp good/RvDllLauncher.exe ordinal/

# The C++ runtime linked dynamically: libstdc++-6.dll and libgcc_s_dw2-1.dll.
dll dynamic "$CXX" installer.cpp v2345.o
cp good/RvDllLauncher.exe dynamic/

# A program that needs the product's own DLL next to it.
mkdir -p needsdll && cp good/RvInstaller.dll needsdll/
exe needsdll v2345.o -DIMPORTS_INSTALLER good/libRvInstaller.a

mkdir -p exporting && cp good/RvInstaller.dll exporting/
exe exporting v2345.o -DEXPORTED

mkdir -p win64 && cp good/RvDllLauncher.exe win64/
"$CC64" -static -shared -o win64/RvInstaller.dll installer.c

# Release layout: stripped binaries with debug files linked by debug link.
split_debug() { # <folder> <strip option>
  local dir=$1 strip=$2 f
  for f in RvInstaller.dll RvDllLauncher.exe; do
    "$OBJCOPY" --only-keep-debug "$dir/$f" "$dir/$f.debug"
    "$OBJCOPY" "$strip" "$dir/$f"
    (cd "$dir" && "$OBJCOPY" --add-gnu-debuglink="$f.debug" "$f")
  done
}
dll release "$CC" -static -g installer.c v2345.o
exe release v2345.o -g
split_debug release --strip-all
cp -r release release_changed_debug
printf 'x' >>release_changed_debug/RvInstaller.dll.debug
cp -r release release_no_debug
rm release_no_debug/RvDllLauncher.exe.debug
cp -r release release_renamed
mv release_renamed/RvInstaller.dll release_renamed/RvSetup.dll
dll switches "$CC" -static -g -DTEST_SWITCH installer.c v2345.o
exe switches v2345.o -g
split_debug switches --strip-all
dll unstripped "$CC" -static -g installer.c v2345.o
exe unstripped v2345.o -g
dll symbols "$CC" -static -g installer.c v2345.o
exe symbols v2345.o -g
split_debug symbols --strip-debug

# --- cases -------------------------------------------------------------------
failures=0
run_case() { # <name> <pass|fail> <stderr pattern> <check arguments...>
  local name=$1 want=$2 pattern=$3; shift 3
  local rc=0
  "$check" "$@" >"$name.out" 2>"$name.err" || rc=$?
  if [ "$want" = pass ]; then
    if [ "$rc" = 0 ]; then echo "ok   $name"; return; fi
    echo "FAIL $name: expected the check to pass, it exited $rc:" >&2
  elif [ "$rc" = 1 ] && grep -Eq -- "$pattern" "$name.err"; then
    echo "ok   $name"
    return
  else
    echo "FAIL $name: expected exit 1 with /$pattern/, got exit $rc:" >&2
  fi
  cat "$name.out" "$name.err" >&2
  failures=$((failures + 1))
}
pair() { echo "$1/RvInstaller.dll" "$1/RvDllLauncher.exe"; }

# shellcheck disable=SC2046
{
run_case sound pass '' --version 2.3.4.5 $(pair good)
run_case sound_any_version pass '' $(pair good)
run_case lists_imports pass '' $(pair good)
grep -q '^imports: .*IPHLPAPI.DLL' lists_imports.out ||
  { echo "FAIL lists_imports: IPHLPAPI.DLL not listed" >&2; failures=$((failures + 1)); }
run_case other_version fail 'version 2\.3\.4\.5, expected 1\.0\.0\.1' --version 1.0.0.1 $(pair good)
run_case versions_differ fail 'different versions: 2\.3\.4\.5 and 2\.3\.4\.6' $(pair mismatch)
run_case version_disagrees fail "disagrees with itself: .*ProductVersion '2\.3\.4\.6'" $(pair mixed)
run_case no_version fail 'RvInstaller.dll: no version resource' $(pair noversion)
run_case extra_export fail "exports 'doInst doUninst', expected 'doInst'" $(pair extra)
run_case unnamed_export fail 'export address table has 2 entries, expected 1' $(pair ordinal)
run_case dynamic_runtime fail 'imports libstdc\+\+-6\.dll, which is not a Windows system DLL' $(pair dynamic)
run_case imports_product_dll fail 'RvDllLauncher.exe: imports RvInstaller.dll' $(pair needsdll)
run_case program_exports fail "RvDllLauncher.exe: exports 'WinMain@16', expected ''" $(pair exporting)
run_case not_32bit fail 'not a 32-bit Windows image' $(pair win64)
run_case missing_file fail 'no such file' good/RvInstaller.dll good/Missing.exe
run_case release pass '' --stripped --version 2.3.4.5 $(pair release)
run_case test_switches fail 'test switches left in the binary: RV_TEST_KILL_AT' --stripped $(pair switches)
run_case unstripped fail 'RvInstaller.dll: debug sections left.*' --stripped $(pair unstripped)
run_case symbols_left fail 'RvInstaller.dll: symbol table left' --stripped $(pair symbols)
run_case debug_changed fail 'debug link CRC [0-9a-f]{8} does not match RvInstaller.dll.debug' --stripped $(pair release_changed_debug)
run_case debug_missing fail 'RvDllLauncher.exe.debug missing' --stripped $(pair release_no_debug)
run_case link_renamed fail "debug link names 'RvInstaller.dll.debug', not RvSetup.dll.debug" \
  --stripped release_renamed/RvSetup.dll release_renamed/RvDllLauncher.exe
}

if [ "$failures" -gt 0 ]; then
  echo "$failures self-test case(s) failed" >&2
  exit 1
fi
echo "check-binaries self-test: all cases behave"
