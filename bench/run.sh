#!/bin/bash
# SPDX-License-Identifier: MIT
# Quillendor's benchmark: start-up, memory, delay accuracy, click-to-reveal latency, how closely
# the fake screen's windows on two monitors map together, and CPU use while waiting, measured on a
# private Xvfb (two monitors) with no window manager, beside a plain Qt dialog and zenity.
#   bench/run.sh [build-dir] [bench.py options: --runs N --delay-runs N --cpu-seconds S
#                                               --startup-only --before PROGRAM]
# --before measures the start-up of an earlier build of Quillendor in the same run.
# The build dir defaults to build/ (configured with the "default" preset when it is not yet).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$repo/build}"
[ $# -gt 0 ] && shift
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

# What the benchmark needs besides what builds the program.
need=(xvfb python3-xlib x11-xserver-utils)
command -v zenity >/dev/null || need+=(zenity)
missing=()
for p in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo -n)
    echo "Installing: ${missing[*]}"
    if ! { "${sudo[@]}" apt-get update -qq &&
           DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
               "${missing[@]}"; } >/dev/null 2>&1; then
        echo "Could not install ${missing[*]}; going on without what is missing." >&2
    fi
fi
zenity_args=()
if command -v zenity >/dev/null; then
    zenity_args=(--zenity "$(command -v zenity)")
else
    echo "Note: zenity is not installed; its column is skipped."
fi

# The program and the in-process timer measure, then the plain dialog.
if [ "$build" = "$repo/build" ] && [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$repo" && cmake --preset default >/dev/null)
elif [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target quillendor timer_error >/dev/null
if [ ! -f "$build/bench-plain/CMakeCache.txt" ]; then
    cmake -S "$repo/bench" -B "$build/bench-plain" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build/bench-plain" -j2 >/dev/null

# A private X server on the first free display from :400.
n=400
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
runtime="$(mktemp -d)"
Xvfb ":$n" -screen 0 2048x768x24 -nolisten tcp -noreset >"$runtime/xvfb.log" 2>&1 &
xvfb=$!
cleanup() {
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

# Two 1024x768 monitors side by side, the left one primary: the fake screen covers both.
DISPLAY=":$n" xrandr --setmonitor L 1024/271x768/203+0+0 screen >/dev/null
DISPLAY=":$n" xrandr --setmonitor R 1024/271x768/203+1024+0 none >/dev/null

echo "Display :$n (Xvfb 2048x768 as two 1024x768 monitors, no window manager), build $build"
# Every program runs with the same environment: X11 through xcb, no session bus, its own runtime dir.
env -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS=disabled: DISPLAY=":$n" QT_QPA_PLATFORM=xcb BENCH_MONITORS="${BENCH_MONITORS:-2}" \
    XDG_RUNTIME_DIR="$runtime" \
    /usr/bin/python3 "$repo/bench/bench.py" --quillendor "$build/quillendor" \
    --plain "$build/bench-plain/plain_dialog" --timer-error "$build/timer_error" \
    "${zenity_args[@]}" "$@"
