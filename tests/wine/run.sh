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
command -v x86_64-w64-mingw32-g++-posix >/dev/null || command -v x86_64-w64-mingw32-g++ >/dev/null \
    || fail "x86_64-w64-mingw32-g++ not found (apt-get install g++-mingw-w64-x86-64)"
locale -a 2>/dev/null | grep -ix 'de_DE\.utf-\?8' >/dev/null \
    || fail "the locale de_DE.UTF-8 is not generated (localedef -i de_DE -f UTF-8 de_DE.UTF-8)"

cleanup_build=""
if [ -z "$build" ]; then
    build=$(mktemp -d /tmp/quill-runtime-wine-build.XXXXXX)
    cleanup_build=$build
fi

own_prefix=""
if [ -n "$given_prefix" ] && wine_prefix_booted "$given_prefix"; then
    export WINEPREFIX=$given_prefix
else
    export WINEPREFIX
    WINEPREFIX=$(mktemp -d /tmp/quill-runtime-wineprefix.XXXXXX) || fail "cannot make a Wine prefix"
    own_prefix=$WINEPREFIX
fi
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    wine_end
    [ -z "$own_prefix" ] || rm -rf "$own_prefix"
    [ -z "$cleanup_build" ] || rm -rf "$cleanup_build"
}
trap cleanup EXIT

echo "== building with mingw-w64 in $build"
mkdir -p "$build" || fail "cannot make $build"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; fail "configure failed"; }
cmake --build "$build" -j2 --target "$target" || fail "build failed"
exe="$build/$target.exe"
[ -f "$exe" ] || fail "no $exe"

if [ -n "$own_prefix" ]; then
    echo "== booting the Wine prefix $WINEPREFIX"
    wine_boot || fail "wineboot failed"
else
    echo "== in the Wine prefix $WINEPREFIX"
fi

passed=0
failed=0
failed_runs=()
for run in "${runs[@]}"; do
    IFS='|' read -r phase argument locale <<<"$run"
    echo "== $phase${argument:+ $argument} in $locale"
    out=$(LANG=$locale LC_ALL=$locale "$wine" "$exe" "$phase" $argument 2>/dev/null | tr -d '\r')
    rc=$?
    echo "$out"
    summary=$(printf '%s\n' "$out" | tail -n 1)
    if [[ $summary =~ ^$phase:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        passed=$((passed + BASH_REMATCH[1]))
        failed=$((failed + BASH_REMATCH[2]))
    else
        failed=$((failed + 1))
        echo "$phase ended without its summary (exit status $rc)"
    fi
    [ "$rc" -eq 0 ] || failed_runs+=("$phase${argument:+ $argument}")
done

echo "${suite}_wine: $passed passed, $failed failed"
if [ "$failed" -ne 0 ] || [ ${#failed_runs[@]} -ne 0 ]; then
    echo "${suite}_wine: failed: ${failed_runs[*]}"
    exit 1
fi
exit 0
