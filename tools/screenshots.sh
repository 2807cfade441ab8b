#!/bin/bash
# SPDX-License-Identifier: MIT
# Pictures of the program's three windows for the README, taken from the real program on a
# private Xvfb under openbox, so the dialogs show with their frames:
#   docs/setup-dialog.png     the setup dialog
#   docs/shutdown-screen.png  the full-screen shutdown screen (the whole screen, 640 px wide)
#   docs/reveal-dialog.png    the reveal dialog
#   docs/two-monitors.png     the shutdown screen on a desk of two monitors, both covered
# With --windows, the Windows build under Wine on one monitor, in a Wine prefix of its own:
#   docs/windows-setup-dialog.png     the setup dialog
#   docs/windows-shutdown-screen.png  the shutdown screen (640 px wide)
# Usage: tools/screenshots.sh [PROGRAM]   (default build/quillendor)
#        tools/screenshots.sh --windows [EXE]   (default build-windows/Quillendor.exe)
# Rerunning regenerates them. Needs xvfb, openbox, xdotool, x11-utils, x11-xserver-utils and
# imagemagick, and wine64 for --windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows=
if [ "${1:-}" = --windows ]; then
    windows=1
    shift
    program=$(realpath "${1:-$root/build-windows/Quillendor.exe}")
    [ -f "$program" ] || { echo "no program at $program (./dev.sh windows first)" >&2; exit 1; }
    screen=1024x768
else
    program=$(realpath "${1:-$root/build/quillendor}")
    [ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
    screen=2048x768
fi
docs=$root/docs
for tool in Xvfb openbox xdotool xprop xwininfo xrandr import convert; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    if [ -n "$windows" ]; then
        WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: the first free one from :200 whose lock then holds our server's pid.
display=
for n in $(seq 200 399); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${screen}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        if [ -e "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb" ]; then
            display=:$n
            break
        fi
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.05
    done
    if [ -n "$display" ]; then pids+=("$xvfb"); break; fi
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }

export DISPLAY=$display XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY XDG_SESSION_TYPE

if [ -z "$windows" ]; then
    # Two monitors side by side, the left one primary: the dialogs are on it.
    xrandr --setmonitor L 1024/271x768/203+0+0 screen >/dev/null
    xrandr --setmonitor R 1024/271x768/203+1024+0 none >/dev/null
fi

openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
sleep 0.3

if [ -n "$windows" ]; then
    export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    /usr/lib/wine/wine64 "$program" >"$work/program.log" 2>&1 &
else
    "$program" >"$work/program.log" 2>&1 &
fi
program_pid=$!
pids+=("$program_pid")

# PNGs without time stamps, so an unchanged window gives an unchanged file.
png() {
    local in=$1 out=${*: -1}
    convert "$in" "${@:2:$#-2}" -strip -define png:exclude-chunks=date,time "$out"
}

# The window with the frame openbox drew around it.
shoot_framed() {
    local window=$1 out=$2 x y w h left right top bottom
    x=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $NF}')
    y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $NF}')
    w=$(xwininfo -id "$window" | awk '/Width:/ {print $NF}')
    h=$(xwininfo -id "$window" | awk '/Height:/ {print $NF}')
    IFS=', ' read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //')
    import -silent -window root -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" \
        +repage "$work/shot.png"
    png "$work/shot.png" "$out"
    echo "$out: $((w + left + right))x$((h + top + bottom))"
}

visible() { timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n1; }

# The Windows build's pictures are named for it; Wine takes a moment longer to paint.
name=
settle=0.7
if [ -n "$windows" ]; then name=windows-; settle=1.5; fi

dialog=$(visible '^Quillendor$')
xdotool mousemove 1000 740   # out of the way, so no control looks hovered
sleep "$settle"
shoot_framed "$dialog" "$docs/${name}setup-dialog.png"

# None, then Start: the shutdown screen at once.
xdotool mousemove --window "$dialog" 16 224 click 1
sleep 0.2
xdotool mousemove --window "$dialog" 332 278 click 1
visible '^Form1' >/dev/null
xdotool mousemove 1000 740
sleep "$settle"
import -silent -window root "$work/screen.png"
png "$work/screen.png" -crop 1024x768+0+0 +repage -resize 640x "$docs/${name}shutdown-screen.png"
echo "$docs/${name}shutdown-screen.png: 640 px wide"
if [ -z "$windows" ]; then
    # Each monitor in a dark bezel, a little apart, as they stand on a desk.
    convert "$work/screen.png" -crop 1024x768+0+0 +repage -bordercolor '#2b2b2b' -border 24 "$work/left.png"
    convert "$work/screen.png" -crop 1024x768+1024+0 +repage -bordercolor '#2b2b2b' -border 24 "$work/right.png"
    convert "$work/left.png" -size 40x816 xc:white "$work/right.png" +append "$work/desk.png"
    png "$work/desk.png" -resize 800x "$docs/two-monitors.png"
    echo "$docs/two-monitors.png: 800 px wide"
fi

# A click ends it and the reveal dialog comes.
xdotool click 1
reveal=$(visible '^Quillendor$')
sleep "$settle"
[ -n "$windows" ] || shoot_framed "$reveal" "$docs/reveal-dialog.png"

xdotool key Return
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2>/dev/null; then
    echo "the program did not end after OK" >&2
    exit 1
fi
wait "$program_pid"
