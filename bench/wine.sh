#!/bin/bash
# SPDX-License-Identifier: MIT
# Quillendor.exe's benchmark under Wine: start-up, peak memory, the delay's error at 1 s, click to
# reveal and the size of the program file, beside minimal Win32 programs of the benchmark's own
# (bench/win32/), all in one fresh Wine prefix on one private Xvfb with no window manager.
#   bench/wine.sh [build-dir] [wine_bench.py options: --runs N, --before EARLIER.exe]
# The build dir defaults to build-windows/ (configured with the "windows" preset when it is not
# yet). Needs wine64, xvfb, python3-xlib and g++-mingw-w64-x86-64.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="$repo/build-windows"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
    build=$1
    shift
fi
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

# shellcheck source=../tests/wine/wine.sh
. "$repo/tests/wine/wine.sh"
command -v Xvfb >/dev/null || { echo "Xvfb not found (apt-get install xvfb)" >&2; exit 1; }
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "python3-xlib is not installed" >&2; exit 1; }
cxx=$(command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++ || true)
[ -n "$cxx" ] || { echo "x86_64-w64-mingw32-g++ not found (apt-get install g++-mingw-w64-x86-64)" >&2; exit 1; }

# Quillendor.exe, and the minimal programs beside it.
if [ "$build" = "$repo/build-windows" ] && [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$repo" && cmake --preset windows >/dev/null)
elif [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$build" -j2 --target quillendor >/dev/null
mkdir -p "$build/bench-win32"
for p in plain_message_box plain_delay; do
    "$cxx" -std=c++20 -O2 -Wall -Wextra -municode -mwindows -static -s \
        -o "$build/bench-win32/$p.exe" "$repo/bench/win32/$p.cpp"
done
# The message box once more with Quillendor's own manifest: visual styles (common controls 6) and
# DPI awareness, which Wine resolves before the first window, for any program that asks for them.
windres=$(command -v x86_64-w64-mingw32-windres)
echo "1 24 \"$repo/app/win32/Quillendor.exe.manifest\"" >"$build/bench-win32/manifest.rc"
"$windres" "$build/bench-win32/manifest.rc" -O coff -o "$build/bench-win32/manifest.o"
"$cxx" -std=c++20 -O2 -Wall -Wextra -municode -mwindows -static -s \
    -o "$build/bench-win32/themed_message_box.exe" "$repo/bench/win32/plain_message_box.cpp" \
    "$build/bench-win32/manifest.o"

# A private X server on the first free display from :400 (or from $BENCH_DISPLAY_FROM).
n=${BENCH_DISPLAY_FROM:-400}
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
runtime="$(mktemp -d)"
export WINEPREFIX
WINEPREFIX="$(mktemp -d /tmp/quill-bench-wine.XXXXXX)"
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$runtime/xvfb.log" 2>&1 &
xvfb=$!
cleanup() {
    wine_end
    rm -rf "$WINEPREFIX"
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb" 2>/dev/null || { cat "$runtime/xvfb.log" >&2; exit 1; }
    sleep 0.05
done
export DISPLAY=":$n"
unset WAYLAND_DISPLAY
wine_boot || { echo "wineboot failed in $WINEPREFIX" >&2; exit 1; }
# With no window manager, Wine waits two seconds for one to withdraw each window it hides (the
# setup dialog on Start): its windows go unmanaged instead, framed by Wine itself.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$wineserver" -w
# The server and Wine's own services stay between the runs, as a running system's do.
"$wineserver" -p

echo "Display :$n (Xvfb 1024x768, no window manager), Wine prefix $WINEPREFIX, build $build"
DBUS_SESSION_BUS_ADDRESS=disabled: XDG_RUNTIME_DIR="$runtime" \
    /usr/bin/python3 "$repo/bench/wine_bench.py" --wine "$wine" \
    --quillendor "$build/Quillendor.exe" \
    --message-box "$build/bench-win32/plain_message_box.exe" \
    --themed-message-box "$build/bench-win32/themed_message_box.exe" \
    --delay "$build/bench-win32/plain_delay.exe" "$@"
