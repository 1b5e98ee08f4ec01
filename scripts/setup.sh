#!/usr/bin/env bash
# Prepares this machine (Debian 12, run as root) to build and test the
# product: system packages, a deb-src entry, the Chinese and German locales,
# Wine with 32-bit support, the mingw-w64 posix cross compilers, and the
# cross-built dependencies (JsonCpp, log4cplus, GoogleTest) in .deps/.
# Idempotent: every step checks first and is skipped when already done.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS="$ROOT/.deps"
PREFIX="$DEPS/i686"
TOOLCHAIN="$ROOT/cmake/toolchain-i686-mingw.cmake"

log() { printf '[setup] %s\n' "$*" >&2; }

need_root() {
  if [ "$(id -u)" != 0 ]; then
    log "this step needs root: $*"
    exit 1
  fi
}

PACKAGES=(wine wine32:i386 wine64 g++-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix mingw-w64-tools cmake make dpkg-dev
  googletest xvfb xauth python3 ca-certificates locales)

missing_packages() {
  local p out=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  echo "${out[@]:-}"
}

install_packages() {
  local missing
  missing=$(missing_packages)
  local have_src=0
  grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && have_src=1
  grep -qs '^deb-src' /etc/apt/sources.list && have_src=1
  if [ -z "$missing" ] && [ "$have_src" = 1 ] && dpkg --print-foreign-architectures | grep -qx i386; then
    return
  fi
  need_root "install packages"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    dpkg --add-architecture i386
  fi
  if [ "$have_src" = 0 ]; then
    log "adding deb-src entries derived from the machine's apt sources"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/debian-src.sources
    elif [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/debian-src.list
    else
      log "no apt sources found to derive deb-src from"
      exit 1
    fi
  fi
  log "installing packages: ${missing:-none (refreshing indexes)}"
  apt-get update -qq
  # shellcheck disable=SC2086
  [ -z "$missing" ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

ensure_32bit_execution() {
  # Wine runs 32-bit Windows programs in 32-bit Linux processes. Some
  # virtual machines (a PVM guest, for one) cannot execute 32-bit code at
  # all: the kernel answers "Exec format error". There, 32-bit ELF programs
  # are handed to qemu's user-mode emulator through binfmt_misc. qemu 7.2
  # (Debian 12) makes Wine's 32-bit start-up take minutes (it does not honour
  # MAP_FIXED_NOREPLACE); the bookworm-backports build (qemu 10) starts a
  # 32-bit program in about a second.
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then return; fi
  need_root "run 32-bit programs through qemu-user"
  local qemu=/usr/bin/qemu-i386
  if ! "$qemu" --version 2>/dev/null | grep -Eq 'version ([89]|[1-9][0-9])\.'; then
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    if ! apt-cache policy 2>/dev/null | grep -q "$codename-backports"; then
      log "adding $codename-backports, derived from the machine's apt sources"
      if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        awk -v cn="$codename" 'BEGIN{RS="";ORS="\n\n"} $0 ~ ("Suites: " cn " ") {
            sub("Suites: [^\n]*", "Suites: " cn "-backports"); print }' \
          /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/debian-backports.sources
      else
        sed -n "s/^deb \([^ ]*\) $codename main.*/deb \1 $codename-backports main/p" \
          /etc/apt/sources.list > /etc/apt/sources.list.d/debian-backports.list
      fi
      apt-get update -qq
    fi
    log "installing qemu-user from $codename-backports"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      -t "$codename-backports" qemu-user >/dev/null
  fi
  local reg=/proc/sys/fs/binfmt_misc
  [ -e "$reg/register" ] || mount -t binfmt_misc binfmt_misc "$reg"
  if [ -e "$reg/qemu-i386" ] && ! grep -q "interpreter $qemu\$" "$reg/qemu-i386"; then
    echo -1 > "$reg/qemu-i386"
  fi
  if [ ! -e "$reg/qemu-i386" ]; then
    log "registering $qemu for 32-bit ELF programs"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
      > "$reg/register"
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || {
    log "FATAL: 32-bit programs still cannot run"; exit 1; }
}

check_wine() {
  # wine64 without wine32 runs no 32-bit program and still exits 0 with
  # nothing printed, so prove that a 32-bit program really runs.
  local probe_prefix="$DEPS/wine-probe"
  if [ -f "$DEPS/wine-ok.stamp" ]; then return; fi
  log "checking that Wine runs 32-bit programs"
  mkdir -p "$DEPS"
  local out
  out=$(WINEPREFIX="$probe_prefix" WINEARCH=win32 WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" wine cmd /c echo ok 2>/dev/null | tr -d '\r' || true)
  WINEPREFIX="$probe_prefix" wineserver -w 2>/dev/null || true
  rm -rf "$probe_prefix"
  if [ "$out" != "ok" ]; then
    log "FATAL: Wine cannot run a 32-bit program (got '$out'); is wine32:i386 installed?"
    exit 1
  fi
  touch "$DEPS/wine-ok.stamp"
}

fetch_source() { # package -> prints the unpacked folder
  local pkg=$1 dir
  dir=$(ls -d "$DEPS/src/$pkg"-*/ 2>/dev/null | head -n1 || true)
  if [ -z "$dir" ]; then
    mkdir -p "$DEPS/src/$pkg"
    (cd "$DEPS/src/$pkg" && apt-get source -qq "$pkg" >/dev/null 2>&1) || {
      log "FATAL: apt-get source $pkg failed"; exit 1; }
    dir=$(ls -d "$DEPS/src/$pkg"/*/ | head -n1)
    mv "$dir" "$DEPS/src/$pkg-src"
    dir="$DEPS/src/$pkg-src/"
  fi
  echo "${dir%/}"
}

cross_build() { # name source-dir cmake-args...
  # The stamp holds the build options: a machine whose cached build was made
  # with other options (for example log4cplus with its thread pool) rebuilds.
  local name=$1 src=$2; shift 2
  local stamp="$PREFIX/.$name.stamp" options="$*"
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$options" ] && return
  log "cross-building $name"
  rm -rf "$DEPS/build/$name"
  cmake -S "$src" -B "$DEPS/build/$name" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF "$@" >"$DEPS/build-$name.log" 2>&1 ||
    { tail -30 "$DEPS/build-$name.log"; exit 1; }
  cmake --build "$DEPS/build/$name" -j"$(nproc)" >>"$DEPS/build-$name.log" 2>&1 ||
    { tail -30 "$DEPS/build-$name.log"; exit 1; }
  cmake --install "$DEPS/build/$name" >>"$DEPS/build-$name.log" 2>&1 ||
    { tail -30 "$DEPS/build-$name.log"; exit 1; }
  printf '%s' "$options" >"$stamp"
}

build_dependencies() {
  mkdir -p "$DEPS/src" "$PREFIX"
  cross_build jsoncpp "$(fetch_source libjsoncpp)" \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DBUILD_STATIC_LIBS=ON \
    -DBUILD_OBJECT_LIBS=OFF
  # No thread pool: the installer library must start no threads, and a pool
  # joined at process exit hangs a host that never unloads the library.
  cross_build log4cplus "$(fetch_source log4cplus)" \
    -DLOG4CPLUS_BUILD_TESTING=OFF -DWITH_UNIT_TESTS=OFF \
    -DLOG4CPLUS_BUILD_LOGGINGSERVER=OFF \
    -DLOG4CPLUS_ENABLE_DECORATED_LIBRARY_NAME=OFF -DUNICODE=OFF \
    -DLOG4CPLUS_ENABLE_THREAD_POOL=OFF
  cross_build googletest /usr/src/googletest -Dgtest_disable_pthreads=OFF
}

ensure_locales() {
  # Wine takes the ANSI code page from the locale of each run: the code-page
  # tests run under Chinese (936) and German (1252) locales.
  local have
  have=$(locale -a 2>/dev/null)
  if grep -qx 'zh_CN.utf8' <<<"$have" && grep -qx 'de_DE.utf8' <<<"$have"; then return; fi
  need_root "generate the zh_CN.UTF-8 and de_DE.UTF-8 locales"
  log "generating the zh_CN.UTF-8 and de_DE.UTF-8 locales"
  local locale
  for locale in 'zh_CN.UTF-8 UTF-8' 'de_DE.UTF-8 UTF-8'; do
    sed -i "s/^# *$locale\$/$locale/" /etc/locale.gen
    grep -qx "$locale" /etc/locale.gen || echo "$locale" >> /etc/locale.gen
  done
  locale-gen >/dev/null
}

install_packages
ensure_locales
ensure_32bit_execution
check_wine
build_dependencies
log "ready"
