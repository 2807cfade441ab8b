#!/bin/bash
# SPDX-License-Identifier: MIT
# The one Wine prefix a test run boots, shared by the tests that run Windows programs.
#
#   prefix.sh boot DIR   a freshly booted prefix in DIR (whatever DIR held goes)
#   prefix.sh end DIR    ends its Wine processes and removes it
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine.sh
. "$here/wine.sh" || exit 1

[ $# -eq 2 ] || { echo "usage: $0 boot|end DIR" >&2; exit 2; }
export WINEPREFIX=$2
unset DISPLAY WAYLAND_DISPLAY
case "$1" in
boot)
    wine_end
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")" || exit 1
    started=$(date +%s%N)
    wine_boot || { echo "wineboot failed in $WINEPREFIX" >&2; exit 1; }
    wine_prefix_booted "$WINEPREFIX" || { echo "no booted prefix in $WINEPREFIX" >&2; exit 1; }
    took=$((($(date +%s%N) - started) / 100000000))
    echo "Wine prefix $WINEPREFIX booted in $((took / 10)).$((took % 10)) s"
    ;;
end)
    wine_end
    rm -rf "$WINEPREFIX"
    ;;
*)
    echo "usage: $0 boot|end DIR" >&2
    exit 2
    ;;
esac
