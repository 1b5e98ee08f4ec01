# Sourced by the Wine helper scripts: the environment every run uses.
# usage: . wine-env.sh <win64|win32> <prefix-folder>
if [ -z "${1:-}" ] || [ -z "${2:-}" ]; then
  echo "wine-env.sh: usage: . wine-env.sh <win64|win32> <prefix-folder>" >&2
  exit 2
fi
export WINEARCH="$1"
export WINEPREFIX="$(realpath -m "$2")"
export WINEDEBUG="${RV_WINEDEBUG:--all}"
# No desktop integration: the menu builder writes below $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine links special folders it has to recreate to $HOME: keep that inside
# a folder of the prefix's own, never the machine's home.
export HOME="$WINEPREFIX-home"
mkdir -p "$HOME"
# Programs start in an empty folder of their own: Wine's shell delete falls
# back to the current folder for a path it cannot hold, so the current
# folder must never be the source tree or anything else of value. Inside
# drive C: once the prefix exists: without drive Z: a program whose Linux
# current folder lies outside every drive starts in C:\windows.
if [ -d "$WINEPREFIX/drive_c" ]; then
  rv_cwd="$WINEPREFIX/drive_c/rv-cwd"
else
  rv_cwd="$WINEPREFIX-cwd"
fi
mkdir -p "$rv_cwd"
cd "$rv_cwd"
# Without a display MessageBox returns at once and no window can block a run.
unset DISPLAY WAYLAND_DISPLAY
