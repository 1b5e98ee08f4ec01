#!/usr/bin/env bash
# Checks the two deliverables as they leave the build:
#   check-binaries.sh [--version <a.b.c.d>] [--stripped] <RvInstaller.dll> <RvDllLauncher.exe>
# - both are 32-bit Windows images (pei-i386);
# - both import only DLLs that ship with Windows (the allow-list below), so a
#   lost static link (libstdc++-6.dll, libgcc_s_dw2-1.dll,
#   libwinpthread-1.dll) or any third-party DLL fails;
# - RvInstaller.dll exports exactly doInst, by name and with no other
#   ordinal; RvDllLauncher.exe exports nothing;
# - both carry a version resource whose four-part file and product versions
#   (numbers and strings) agree, are the same in both binaries and, with
#   --version, equal the one given;
# - with --stripped: no debug sections and no symbol table, and a
#   .gnu_debuglink naming <binary>.debug next to the binary, whose CRC
#   matches that file and which holds the debug information; and no test
#   switch (no "RV_TEST_" text): a release build reads none from the
#   environment.
# Prints what each binary imports, exports and carries, then one FAIL line
# per fault found in either binary; exits 1 when there is any, 2 on a wrong
# command line.
set -euo pipefail

OBJDUMP=i686-w64-mingw32-objdump
OBJCOPY=i686-w64-mingw32-objcopy
NM=i686-w64-mingw32-nm
WINDRES=i686-w64-mingw32-windres

# DLLs that are part of every Windows since Windows 7 (the product targets
# _WIN32_WINNT 0x0601), lower case. An allow-list, not the exact import set
# of either binary: a binary may import any of them, statically or not at
# all, without this list changing. Deliberately absent: the compiler's
# runtime DLLs, ucrtbase.dll and the api-ms-win-* sets (not on every
# Windows 7), and anything else that would have to be shipped alongside.
SYSTEM_DLLS=(
  advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll dbghelp.dll
  gdi32.dll imagehlp.dll iphlpapi.dll kernel32.dll mpr.dll msvcrt.dll
  netapi32.dll ntdll.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll
  secur32.dll setupapi.dll shell32.dll shlwapi.dll urlmon.dll user32.dll
  userenv.dll uxtheme.dll version.dll wininet.dll winhttp.dll winmm.dll
  wintrust.dll ws2_32.dll wsock32.dll wtsapi32.dll
)

usage() {
  echo "usage: $0 [--version <a.b.c.d>] [--stripped] <RvInstaller.dll> <RvDllLauncher.exe>" >&2
  exit 2
}

expected_version=""
stripped=0
while [ $# -gt 0 ]; do
  case "$1" in
    --version) [ $# -ge 2 ] || usage; expected_version=$2; shift 2 ;;
    --stripped) stripped=1; shift ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || usage
installer=$1
launcher=$2

faults=()
fault() { faults+=("$*"); }

is_system_dll() {
  local name allowed
  name=$(printf '%s' "$1" | tr '[:upper:]' '[:lower:]')
  for allowed in "${SYSTEM_DLLS[@]}"; do
    [ "$name" = "$allowed" ] && return 0
  done
  return 1
}

# Sets `version` to the file version when the fixed and string versions
# agree, or records a fault and leaves it empty.
read_version() {
  local file=$1 rc fixed_file fixed_product string_file string_product
  version=""
  if ! rc=$("$WINDRES" -i "$file" -O rc 2>&1); then
    fault "no version resource ($rc)"
    return
  fi
  # " FILEVERSION 1, 0, 0, 1" -> 1.0.0.1
  fixed_file=$(sed -n 's/^ *FILEVERSION *\([0-9, ]*\)$/\1/p' <<<"$rc" | tr -d ' ' | tr , .)
  fixed_product=$(sed -n 's/^ *PRODUCTVERSION *\([0-9, ]*\)$/\1/p' <<<"$rc" | tr -d ' ' | tr , .)
  string_file=$(sed -n 's/^ *VALUE "FileVersion", "\(.*\)"$/\1/p' <<<"$rc")
  string_product=$(sed -n 's/^ *VALUE "ProductVersion", "\(.*\)"$/\1/p' <<<"$rc")
  if ! [[ $fixed_file =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
    fault "no four-part FILEVERSION in the version resource"
    return
  fi
  if [ "$fixed_product" != "$fixed_file" ] || [ "$string_file" != "$fixed_file" ] ||
    [ "$string_product" != "$fixed_file" ]; then
    fault "version resource disagrees with itself: FILEVERSION $fixed_file," \
      "PRODUCTVERSION ${fixed_product:-none}, FileVersion '${string_file}'," \
      "ProductVersion '${string_product}'"
    return
  fi
  version=$fixed_file
}

check_debug_link() {
  local file=$1 sections link_name link_crc debug_file actual_crc
  sections=$("$OBJDUMP" -h "$file" | awk '$1 ~ /^[0-9]+$/ { print $2 }')
  if grep -q '^\.debug_' <<<"$sections"; then
    fault "debug sections left in the binary: $(grep '^\.debug_' <<<"$sections" | tr '\n' ' ')"
  fi
  if [ -n "$("$NM" "$file" 2>/dev/null)" ]; then
    fault "symbol table left in the binary"
  fi
  if ! grep -qx '\.gnu_debuglink' <<<"$sections"; then
    fault "no .gnu_debuglink section"
    return
  fi
  # The section holds the file name, NUL padding to a multiple of four,
  # then the CRC-32 of the debug file (little endian).
  local tmp
  tmp=$(mktemp -d)
  "$OBJCOPY" --dump-section .gnu_debuglink="$tmp/link" "$file" "$tmp/copy"
  read -r link_name link_crc < <(python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read()
print(data.split(b"\0", 1)[0].decode("ascii", "replace"), "%08x" % struct.unpack("<I", data[-4:])[0])
' "$tmp/link")
  rm -rf "$tmp"
  if [ "$link_name" != "$(basename "$file").debug" ]; then
    fault "debug link names '$link_name', not $(basename "$file").debug"
    return
  fi
  debug_file=$(dirname "$file")/$link_name
  if [ ! -f "$debug_file" ]; then
    fault "debug file $link_name missing next to the binary"
    return
  fi
  actual_crc=$(python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$debug_file")
  if [ "$actual_crc" != "$link_crc" ]; then
    fault "debug link CRC $link_crc does not match $link_name ($actual_crc)"
  fi
  local debug_sections
  debug_sections=$("$OBJDUMP" -h "$debug_file" | awk '$1 ~ /^[0-9]+$/ { print $2 }')
  if ! grep -qx '\.debug_info' <<<"$debug_sections"; then
    fault "$link_name holds no .debug_info"
  fi
}

# check_binary <file> <exports...>: the checks for one binary; the expected
# exported names follow the file (none for a program).
declare -A versions
check_binary() {
  local file=$1; shift
  local expected_exports="$*" format dump imports exports export_count dll
  faults=()
  echo "== $file"
  if [ ! -f "$file" ]; then
    echo "FAIL $file: no such file" >&2
    return 1
  fi
  format=$("$OBJDUMP" -f "$file" 2>&1 | sed -n 's/.*file format \(.*\)$/\1/p' | head -n1 || true)
  if [ "$format" != "pei-i386" ]; then
    echo "FAIL $file: not a 32-bit Windows image (format '${format:-unknown}')" >&2
    return 1
  fi
  dump=$("$OBJDUMP" -p "$file")

  imports=$(sed -n 's/^\tDLL Name: //p' <<<"$dump")
  echo "imports: $(tr '\n' ' ' <<<"$imports" | sed 's/ $//')"
  while IFS= read -r dll; do
    [ -n "$dll" ] || continue
    is_system_dll "$dll" || fault "imports $dll, which is not a Windows system DLL"
  done <<<"$imports"

  # Names from the "[Ordinal/Name Pointer] Table" block, and the number of
  # entries in the export address table (which also counts ordinal-only
  # exports).
  exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
                 on && /^$/ { on = 0 }
                 on { sub(/^\t\[ *[0-9]+\] /, ""); print }' <<<"$dump" | tr '\n' ' ' | sed 's/ $//')
  export_count=$(awk '/^\tExport Address Table[ \t]+[0-9a-fA-F]+$/ { print $NF; exit }' <<<"$dump")
  export_count=$((16#${export_count:-0}))
  echo "exports: ${exports:-(none)}"
  if [ "$exports" != "$expected_exports" ]; then
    fault "exports '${exports}', expected '${expected_exports}'"
  fi
  local expected_count
  expected_count=$(wc -w <<<"$expected_exports")
  if [ "$export_count" -ne "$expected_count" ]; then
    fault "export address table has $export_count entries, expected $expected_count"
  fi

  local version
  read_version "$file"
  if [ -n "$version" ]; then
    echo "version: $version"
    versions[$file]=$version
    if [ -n "$expected_version" ] && [ "$version" != "$expected_version" ]; then
      fault "version $version, expected $expected_version"
    fi
  fi

  if [ "$stripped" = 1 ]; then
    check_debug_link "$file"
    # The variables a test build reads to kill, pause or hurry the install.
    if grep -aq 'RV_TEST_' "$file"; then
      fault "test switches left in the binary: $(grep -ao 'RV_TEST_[A-Z_]*' "$file" | sort -u | tr '\n' ' ')"
    fi
  fi

  local f
  for f in "${faults[@]}"; do
    echo "FAIL $file: $f" >&2
  done
  [ ${#faults[@]} -eq 0 ]
}

status=0
check_binary "$installer" doInst || status=1
check_binary "$launcher" || status=1
if [ -n "${versions[$installer]:-}" ] && [ -n "${versions[$launcher]:-}" ] &&
  [ "${versions[$installer]}" != "${versions[$launcher]}" ]; then
  echo "FAIL: the binaries carry different versions: ${versions[$installer]} and ${versions[$launcher]}" >&2
  status=1
fi
[ "$status" = 0 ] && echo "binaries OK"
exit "$status"
