# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by the scripts that run Windows programs under Wine: finds wine64 and wineserver and
# sets the environment every run uses. The caller exports WINEPREFIX, or has wine_prefix_open
# choose one.
#   wine_boot             boots a fresh WINEPREFIX (about 7 s) and waits until it is written
#   wine_end              ends every Wine process of WINEPREFIX
#   wine_prefix_booted P  whether P holds a booted prefix
# For the harnesses that build test programs with mingw-w64 and run them:
#   mingw_build SOURCE BUILD [TARGET]  configures SOURCE in BUILD with the toolchain of the
#                         Windows build and builds TARGET (all by default)
#   wine_prefix_open [P] [NAME]  exports WINEPREFIX: P when it holds a booted prefix (used as it is
#                         and left in place), else a new empty folder for a throw-away prefix
#                         (wine_own_prefix names it; NAME goes into its name)
#   wine_prefix_close     ends the prefix's Wine processes and removes a throw-away prefix
#   wine_check PHASE LABEL COMMAND...  runs a test program that ends its output with the line
#                         "PHASE: N passed, M failed", shows the output and adds up the counts;
#                         a missing line or a non-zero exit status counts as a failure of LABEL
#   wine_checks_end SUITE  prints "SUITE: N passed, M failed" over every wine_check, and fails
#                         when anything did

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

mingw_build() {
    local source=$1 build=$2 target=${3:-all}
    local toolchain
    toolchain=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../cmake" && pwd)/mingw-w64-x86_64.cmake
    if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null && ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
        echo "x86_64-w64-mingw32-g++ not found (apt-get install g++-mingw-w64-x86-64)" >&2
        return 1
    fi
    echo "== building with mingw-w64 in $build"
    mkdir -p "$build" || { echo "cannot make $build" >&2; return 1; }
    if ! cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        >"$build/configure.log" 2>&1; then
        cat "$build/configure.log"
        echo "configure failed" >&2
        return 1
    fi
    cmake --build "$build" -j2 --target "$target" || { echo "build failed" >&2; return 1; }
}

wine_own_prefix=""
wine_prefix_open() {
    local given=${1:-} name=${2:-wine}
    if [ -n "$given" ] && wine_prefix_booted "$given"; then
        export WINEPREFIX=$given
        wine_own_prefix=""
        return 0
    fi
    export WINEPREFIX
    WINEPREFIX=$(mktemp -d "/tmp/quill-$name-wineprefix.XXXXXX") || return 1
    wine_own_prefix=$WINEPREFIX
}

wine_prefix_close() {
    wine_end
    [ -z "$wine_own_prefix" ] || rm -rf "$wine_own_prefix"
}

wine_passed=0
wine_failed=0
wine_failed_runs=()
wine_check() {
    local phase=$1 label=$2 out rc summary
    shift 2
    out=$("$@" 2>/dev/null | tr -d '\r')
    rc=$?
    echo "$out"
    summary=$(printf '%s\n' "$out" | tail -n 1)
    if [[ $summary =~ ^$phase:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        wine_passed=$((wine_passed + BASH_REMATCH[1]))
        wine_failed=$((wine_failed + BASH_REMATCH[2]))
    else
        wine_failed=$((wine_failed + 1))
        echo "$label ended without its summary (exit status $rc)"
    fi
    [ "$rc" -eq 0 ] || wine_failed_runs+=("$label")
}

wine_checks_end() {
    echo "$1: $wine_passed passed, $wine_failed failed"
    if [ "$wine_failed" -ne 0 ] || [ ${#wine_failed_runs[@]} -ne 0 ]; then
        echo "$1: failed: ${wine_failed_runs[*]}"
        return 1
    fi
    return 0
}
