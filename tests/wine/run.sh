#!/bin/bash
# SPDX-License-Identifier: MIT
# Builds the shared runtime and the forms with mingw-w64 and runs their data-driven cases under
# Wine: the conversions, the delay texts (typed in the C locale and in German, with a decimal
# comma) and the lifecycle over a backend of the test's own. With the suite "timers", the Windows
# build's timer controls instead, with high-resolution timers and with ordinary ones.
#
#   run.sh [BUILD_DIR [WINEPREFIX [runtime|timers]]]
#
# A WINEPREFIX that is already booted (see prefix.sh) is used as it is and left in place;
# otherwise a throw-away one is booted here. Needs the Debian packages g++-mingw-w64-x86-64,
# wine64 and cmake, and the locale de_DE.UTF-8. No display is needed.
# Exits non-zero when anything fails, and says what.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-}
given_prefix=${2:-}
suite=${3:-runtime}

fail() { echo "${suite}_wine: $*" >&2; exit 1; }
case "$suite" in
runtime)
    target=runtime_wine_tests
    # phase, its argument, the locale Wine takes the user's locale from
    runs=("conversions||C.UTF-8" "delaytexts||C.UTF-8" "delaytexts|comma|de_DE.UTF-8" "lifecycle||C.UTF-8")
    ;;
timers)
    target=timer_wine_tests
    runs=("highres||C.UTF-8" "fallback||C.UTF-8")
    ;;
*) fail "no suite \"$suite\": there are runtime and timers" ;;
esac

# shellcheck source=wine.sh
. "$here/wine.sh" || exit 1
locale -a 2>/dev/null | grep -ix 'de_DE\.utf-\?8' >/dev/null \
    || fail "the locale de_DE.UTF-8 is not generated (localedef -i de_DE -f UTF-8 de_DE.UTF-8)"

cleanup_build=""
if [ -z "$build" ]; then
    build=$(mktemp -d /tmp/quill-runtime-wine-build.XXXXXX)
    cleanup_build=$build
fi

wine_prefix_open "$given_prefix" runtime || fail "cannot make a Wine prefix"
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    wine_prefix_close
    [ -z "$cleanup_build" ] || rm -rf "$cleanup_build"
}
trap cleanup EXIT

mingw_build "$here" "$build" "$target" || fail "build failed"
exe="$build/$target.exe"
[ -f "$exe" ] || fail "no $exe"

if [ -n "$wine_own_prefix" ]; then
    echo "== booting the Wine prefix $WINEPREFIX"
    wine_boot || fail "wineboot failed"
else
    echo "== in the Wine prefix $WINEPREFIX"
fi

for run in "${runs[@]}"; do
    IFS='|' read -r phase argument locale <<<"$run"
    echo "== $phase${argument:+ $argument} in $locale"
    wine_check "$phase" "$phase${argument:+ $argument}" \
        env LANG="$locale" LC_ALL="$locale" "$wine" "$exe" "$phase" $argument
done
wine_checks_end "${suite}_wine" || exit 1
