# SPDX-License-Identifier: MIT
# Sourced by the scripts that run Windows programs under Wine: finds wine64 and wineserver and
# sets the environment every run uses. The caller exports WINEPREFIX.
#   wine_boot             boots a fresh WINEPREFIX (about 7 s) and waits until it is written
#   wine_end              ends every Wine process of WINEPREFIX
#   wine_prefix_booted P  whether P holds a booted prefix

wine=$(command -v wine64 || true)
[ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; }
[ -n "$wine" ] || wine=$(command -v wine || true)
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || { [ -x /usr/lib/wine/wineserver ] && wineserver=/usr/lib/wine/wineserver; }
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
    echo "wine64 or wineserver not found (apt-get install wine64)" >&2
    return 1
fi
# No Mono or Gecko install dialogs, no debug chatter.
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

wine_boot() {
    "$wine" wineboot --init >/dev/null 2>&1 || return 1
    "$wineserver" -w
}

wine_end() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
    "$wineserver" -k >/dev/null 2>&1
    "$wineserver" -w >/dev/null 2>&1
    return 0
}

wine_prefix_booted() {
    [ -f "$1/system.reg" ] && [ -d "$1/drive_c/windows/system32" ]
}
