#!/bin/bash
# SPDX-License-Identifier: MIT
# Builds the launcher and its Windows services with mingw-w64 and runs their tests under Wine in a
# throw-away prefix, against registry entries made here with `wine reg`.
#
#   run.sh [BUILD_DIR]
#
# Needs the Debian packages g++-mingw-w64-x86-64, wine64 and cmake. No display is needed.
# Exits non-zero when anything fails, and says what.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-}

fail() { echo "sysinfo_wine: $*" >&2; exit 1; }

command -v x86_64-w64-mingw32-g++-posix >/dev/null || command -v x86_64-w64-mingw32-g++ >/dev/null \
    || fail "x86_64-w64-mingw32-g++ not found (apt-get install g++-mingw-w64-x86-64)"
wine=$(command -v wine64 || true)
[ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; }
[ -n "$wine" ] || wine=$(command -v wine || true)
[ -n "$wine" ] || fail "wine64 not found (apt-get install wine64)"
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || { [ -x /usr/lib/wine/wineserver ] && wineserver=/usr/lib/wine/wineserver; }
[ -n "$wineserver" ] || fail "wineserver not found (apt-get install wine64)"

cleanup_build=""
if [ -z "$build" ]; then
    build=$(mktemp -d /tmp/quill-sysinfo-wine-build.XXXXXX)
    cleanup_build=$build
fi

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/quill-sysinfo-wineprefix.XXXXXX) || fail "cannot make a Wine prefix"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    "$wineserver" -k >/dev/null 2>&1
    "$wineserver" -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
    [ -z "$cleanup_build" ] || rm -rf "$cleanup_build"
}
trap cleanup EXIT

echo "== building with mingw-w64 in $build"
mkdir -p "$build" || fail "cannot make $build"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/../../../cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; fail "configure failed"; }
cmake --build "$build" -j2 || fail "build failed"
exe="$build/sysinfo_wine_tests.exe"
[ -f "$exe" ] || fail "no $exe"

echo "== preparing the Wine prefix $WINEPREFIX"
"$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
"$wineserver" -w

c="$WINEPREFIX/drive_c"
mkdir -p "$c/quill dir" "$c/quill tools" "$c/quill empty" || fail "cannot lay out C:"
cp "$exe" "$c/quill dir/probe.exe"          # a program whose path has spaces
cp "$exe" "$c/quill.exe"                    # what a split at the first space would start
cp "$exe" "$c/quill tools/MSINFO32.EXE"     # the real file of the fallback lookup

# The test program is 64-bit, so the entries go to the 64-bit view.
reg() { "$wine" reg "$@" /reg:64 >/dev/null 2>&1; }
reg_add() { reg add "$@" /f || fail "wine reg add $*"; }
reg_delete() { reg delete "$@" /f; true; }  # absent already is fine

T='HKLM\SOFTWARE\Quillendor\Test'
reg_add "$T" /v Text /t REG_SZ /d 'C:\quill dir\probe.exe'
reg_add "$T" /v EmptyText /t REG_SZ /d ''
reg_add "$T" /v Number15 /t REG_DWORD /d 15
reg_add "$T" /v Number /t REG_DWORD /d 0x12345678
reg_add "$T" /v Binary /t REG_BINARY /d 0102
reg_add "$T" /v EmptyBinary /t REG_BINARY /d ''
reg_add "$T" /v Long /t REG_SZ /d "$(printf 'l%.0s' $(seq 1500))"
reg_add "$T" /v Fits /t REG_SZ /d "$(printf 'f%.0s' $(seq 1023))"
reg_add 'HKCU\Software\Quillendor\Test' /v Text /t REG_SZ /d 'current user'

PRIMARY='HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO'
FALLBACK='HKLM\SOFTWARE\Microsoft\Shared Tools Location'

setup_phase() {
    case "$1" in
    registry) ;;
    primary)
        reg_add "$PRIMARY" /v PATH /t REG_SZ /d 'C:\quill dir\probe.exe'
        reg_add "$FALLBACK" /v MSINFO /t REG_SZ /d 'C:\quill tools' ;;
    primary-missing)
        reg_add "$PRIMARY" /v PATH /t REG_SZ /d 'C:\quill gone\msinfo32.exe'
        reg_add "$FALLBACK" /v MSINFO /t REG_SZ /d 'C:\quill tools' ;;
    fallback)
        reg_add "$PRIMARY" /v Other /t REG_SZ /d 'not the path'
        reg_delete "$PRIMARY" /v PATH
        reg_add "$FALLBACK" /v MSINFO /t REG_SZ /d 'C:\quill tools' ;;
    fallback-no-file)
        reg_delete "$PRIMARY"
        reg_add "$FALLBACK" /v MSINFO /t REG_SZ /d 'C:\quill empty' ;;
    none)
        reg_delete "$PRIMARY"
        reg_delete "$FALLBACK" ;;
    esac
    "$wineserver" -w 2>/dev/null || true
}

passed=0
failed=0
failed_phases=()
for phase in registry primary primary-missing fallback fallback-no-file none; do
    echo "== phase $phase"
    setup_phase "$phase"
    out=$("$wine" "$exe" "$phase" 2>/dev/null | tr -d '\r')
    rc=$?
    echo "$out"
    summary=$(printf '%s\n' "$out" | tail -n 1)
    if [[ $summary =~ ^$phase:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        passed=$((passed + BASH_REMATCH[1]))
        failed=$((failed + BASH_REMATCH[2]))
    else
        failed=$((failed + 1))
        echo "phase $phase ended without its summary (exit status $rc)"
    fi
    [ "$rc" -eq 0 ] || failed_phases+=("$phase")
done

echo "sysinfo_wine: $passed passed, $failed failed"
if [ "$failed" -ne 0 ] || [ ${#failed_phases[@]} -ne 0 ]; then
    echo "sysinfo_wine: failed phases: ${failed_phases[*]}"
    exit 1
fi
exit 0
