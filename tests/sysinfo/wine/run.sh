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

# shellcheck source=../../wine/wine.sh
. "$here/../../wine/wine.sh" || exit 1

cleanup_build=""
if [ -z "$build" ]; then
    build=$(mktemp -d /tmp/quill-sysinfo-wine-build.XXXXXX)
    cleanup_build=$build
fi

# Always a prefix of its own: the phases below change its registry.
wine_prefix_open "" sysinfo || fail "cannot make a Wine prefix"
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    wine_prefix_close
    [ -z "$cleanup_build" ] || rm -rf "$cleanup_build"
}
trap cleanup EXIT

mingw_build "$here" "$build" || fail "build failed"
exe="$build/sysinfo_wine_tests.exe"
[ -f "$exe" ] || fail "no $exe"

echo "== preparing the Wine prefix $WINEPREFIX"
wine_boot || fail "wineboot failed"

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

for phase in registry primary primary-missing fallback fallback-no-file none; do
    echo "== phase $phase"
    setup_phase "$phase"
    wine_check "$phase" "phase $phase" "$wine" "$exe" "$phase"
done
wine_checks_end sysinfo_wine || exit 1
