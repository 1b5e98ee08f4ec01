# Sourced by the Wine helper scripts: the environment every run uses.
# usage: . wine-env.sh <win64|win32> <prefix-folder>
export WINEARCH="$1"
export WINEPREFIX="$(realpath -m "$2")"
export WINEDEBUG="${RV_WINEDEBUG:--all}"
# No desktop integration: the menu builder writes below $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine links special folders it has to recreate to $HOME: keep that inside
# a folder of the prefix's own, never the machine's home.
export HOME="$WINEPREFIX-home"
mkdir -p "$HOME"
# Without a display MessageBox returns at once and no window can block a run.
unset DISPLAY WAYLAND_DISPLAY
