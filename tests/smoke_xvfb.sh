#!/bin/bash
# SPDX-License-Identifier: MIT
# Starts the built program on a private Xvfb, presses Cancel in the setup dialog and checks that the
# program ends by itself with exit status 0.
set -u
program=$1

# Xvfb picks a free display itself and writes its number once it accepts connections.
numberfile=$(mktemp)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$numberfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$numberfile"' EXIT
for _ in $(seq 100); do [ -s "$numberfile" ] && break; sleep 0.1; done
[ -s "$numberfile" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$numberfile")
echo "Xvfb on $DISPLAY"

unset QT_QPA_PLATFORM
"$program" &
pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quillendor$' | head -n1)
[ -n "$window" ] || { echo "the setup dialog did not appear"; kill $pid; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "setup dialog at $X,$Y size ${WIDTH}x$HEIGHT"

# Cancel: 120, 3960 twips, 1575 by 435, at 15 twips to the pixel.
xdotool mousemove --window "$window" 60 278 click 1

for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "the program is still running after Cancel"; kill $pid; exit 1; fi
wait $pid
status=$?
echo "exit status $status"
[ $status -eq 0 ]
