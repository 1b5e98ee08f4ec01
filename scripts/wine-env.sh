# Sourced by the Wine helper scripts: the environment every run uses.
# usage: . wine-env.sh <win64|win32> <prefix-folder>
export WINEARCH="$1"
export WINEPREFIX="$(realpath -m "$2")"
export WINEDEBUG="${RV_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# Without a display MessageBox returns at once and no window can block a run.
unset DISPLAY WAYLAND_DISPLAY
