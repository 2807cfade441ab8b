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
# With --lang LANG (as po/ names it: de, ja, ar, ...), the same three windows in that language, the
# Windows build's in a prefix that links the fonts of its script as the tests' does
# (tests/e2e/wine.py), optimised with optipng:
#   docs/languages/linux-LANG-setup-dialog.png, -shutdown-screen.png, -reveal-dialog.png
#   docs/languages/windows-LANG-...            with --windows
# Usage: tools/screenshots.sh [--lang LANG] [PROGRAM]   (default build/quillendor)
#        tools/screenshots.sh --windows [--lang LANG] [EXE]   (default build-windows/Quillendor.exe)
# Rerunning regenerates them. Needs xvfb, openbox, xdotool, x11-utils, x11-xserver-utils and
# imagemagick, wine64 for --windows, optipng and the language's locale for --lang.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows=
lang=
while [ $# -gt 0 ]; do
    case "$1" in
    --windows) windows=1; shift ;;
    --lang) lang=${2:?--lang needs a language}; shift 2 ;;
    *) break ;;
    esac
done
if [ -n "$windows" ]; then
    program=$(realpath "${1:-$root/build-windows/Quillendor.exe}")
    [ -f "$program" ] || { echo "no program at $program (./dev.sh windows first)" >&2; exit 1; }
    screen=1024x768
else
    program=$(realpath "${1:-$root/build/quillendor}")
    [ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
    screen=2048x768
fi
docs=$root/docs
tools=(Xvfb openbox xdotool xprop xwininfo xrandr import convert)
[ -z "$lang" ] || tools+=(optipng)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
# The language's locale: the Windows build takes its language from LANG, the Linux build from
# LANGUAGE (with a UTF-8 LANG, without which gettext reads none).
locale_env=()
if [ -n "$lang" ]; then
    case "$lang" in
    *_*) locale=$lang ;;
    ar) locale=ar_EG ;; he) locale=he_IL ;; ja) locale=ja_JP ;; ko) locale=ko_KR ;;
    sv) locale=sv_SE ;; uk) locale=uk_UA ;;
    *) locale=${lang}_${lang^^} ;;
    esac
    if [ -n "$windows" ]; then
        locale -a | grep -ix "$locale\.utf-\?8" >/dev/null \
            || { echo "no locale $locale.UTF-8 (localedef -i $locale -f UTF-8 $locale.UTF-8)" >&2; exit 1; }
        locale_env=(LANG="$locale.UTF-8" LC_ALL="$locale.UTF-8")
    else
        locale_env=(LANGUAGE="$lang" LANG=C.UTF-8 LC_ALL=)
    fi
    mkdir -p "$docs/languages"
fi

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
    if [ -n "$lang" ]; then
        # The fonts of the language's script linked as the tests link them.
        python3 - "$root/tests/e2e" "$lang" >"$work/links.reg" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import wine
print("REGEDIT4\n\n[" + wine.SYSTEM_LINK + "]")
for face, font in wine.FONT_LINKS.get(sys.argv[2], {}).items():
    print(f'"{face}"=hex(7):' + (font + "\0\0").encode("latin-1").hex(","))
PY
        /usr/lib/wine/wine64 reg import "Z:$work/links.reg" >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
    fi
    env "${locale_env[@]}" /usr/lib/wine/wine64 "$program" >"$work/program.log" 2>&1 &
else
    env "${locale_env[@]}" "$program" >"$work/program.log" 2>&1 &
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

# The Windows build's pictures are named for it; Wine takes a moment longer to paint. A language's
# go to docs/languages/, named for the build and the language.
name=
settle=0.7
if [ -n "$windows" ]; then name=windows-; settle=1.5; fi
if [ -n "$lang" ]; then
    docs=$docs/languages
    name=$([ -n "$windows" ] && echo windows || echo linux)-$lang-
fi
# Arabic and Hebrew mirror the dialog: a control stands as far from its right edge as it stands
# from its left one in English.
at() {
    case "$lang" in
    ar | he) echo $((393 - $1)) "$2" ;;
    *) echo "$1" "$2" ;;
    esac
}

dialog=$(visible '^Quillendor$')
xdotool mousemove 1000 740   # out of the way, so no control looks hovered
sleep "$settle"
shoot_framed "$dialog" "$docs/${name}setup-dialog.png"

# None, then Start: the shutdown screen at once.
# shellcheck disable=SC2046 # at gives two numbers
xdotool mousemove --window "$dialog" $(at 16 224) click 1
sleep 0.2
# shellcheck disable=SC2046
xdotool mousemove --window "$dialog" $(at 332 278) click 1
visible '^Form1' >/dev/null
xdotool mousemove 1000 740
sleep "$settle"
import -silent -window root "$work/screen.png"
png "$work/screen.png" -crop 1024x768+0+0 +repage -resize 640x "$docs/${name}shutdown-screen.png"
echo "$docs/${name}shutdown-screen.png: 640 px wide"
if [ -z "$windows" ] && [ -z "$lang" ]; then
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
[ -n "$windows" ] && [ -z "$lang" ] || shoot_framed "$reveal" "$docs/${name}reveal-dialog.png"

xdotool key Return
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2>/dev/null; then
    echo "the program did not end after OK" >&2
    exit 1
fi
wait "$program_pid"
if [ -n "$lang" ]; then
    optipng -quiet -o5 "$docs/${name}"*.png
fi
