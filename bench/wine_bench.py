#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Measures Quillendor.exe under Wine as a user meets it, on the X display in $DISPLAY (no window
manager), beside two minimal Win32 programs of the benchmark's own run in the same prefix: one
MessageBoxW (start-up), and a window whose Start button arms a high-resolution waitable timer of
1,001 ms and shows a full-screen cover made ahead of time when it fires (start-up, delay, click to
a window). The runs of the programs are interleaved. Windows are seen and input is sent as in
bench.py (MapNotify on the root, XTEST).

Wine starts its own services with a program's first window; every measure that clicks waits a
second after that window before it starts. Wine is told to leave window management alone
(bench/wine.sh): with no window manager it would otherwise wait two seconds for one on every
hide. Its windows then carry the frame Wine draws, and clicks go to client coordinates inside it.

The message box runs twice: as built plainly, and with Quillendor.exe's manifest (visual styles
through common controls 6, DPI awareness), which Wine resolves before any program's first window.

With --before, another build of Quillendor.exe (an earlier commit's, say) is measured in the same
runs, interleaved with the others, and a second table sets its start-up and delay beside this
build's.

Usage: wine_bench.py --wine PATH --quillendor EXE --message-box EXE --themed-message-box EXE
                     --delay EXE [--before EXE] [--runs N]
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench  # noqa: E402
from bench import Failure, Screen, end, med, verdict, vm_hwm_kib  # noqa: E402

# The delay a typed 1 gives: 1 s and one millisecond.
INTERVAL_MS = 1001
SETTLE_S = 1.0
# Where the minimal delay program has its Start button: where the setup dialog has its own.
START = bench.START
# Both dialogs' client area at 96 dpi.
CLIENT = (394, 304)


def launch(cmd):
    return subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def measure_start(scr, cmd, title):
    """ms from process start to the first window mapped, and VmHWM (MiB) of the program's Wine
    process half a second after the map."""
    scr.drain()
    t0 = time.monotonic()
    proc = launch(cmd)
    try:
        t1, _ = scr.wait_map(title, proc=proc)
        time.sleep(max(0.0, t1 + 0.5 - time.monotonic()))
        hwm = vm_hwm_kib(proc.pid)
        if hwm is None or proc.poll() is not None:
            raise Failure(f"{cmd[-1]} ended before its memory was read")
    finally:
        end(proc)
    scr.drain()
    return {"map": (t1 - t0) * 1000, "hwm": hwm / 1024}


def started(scr, cmd, title):
    """The program with its first window up and Wine settled; its window's origin."""
    scr.drain()
    proc = launch(cmd)
    _, w = scr.wait_map(title, proc=proc)
    time.sleep(SETTLE_S)
    # The frame: the same border left, right and below, the caption above.
    x, y = scr.origin(w)
    _, _, width, height = scr.geometry[w.id]
    border = (width - CLIENT[0]) // 2
    if border < 0 or height - CLIENT[1] - border < 0:
        raise Failure(f"'{title}' is {width}x{height}, smaller than its client area")
    return proc, (x + border, y + height - CLIENT[1] - border)


def quillendor_delay(scr, cmd):
    """Delay error (ms) and click to reveal (ms) on Quillendor.exe's road with a delay of 1."""
    proc, (ox, oy) = started(scr, cmd, "Quillendor")
    try:
        scr.click(ox + bench.TEXT1[0], oy + bench.TEXT1[1])
        time.sleep(0.05)
        scr.key("End")
        for _ in range(4):
            scr.key("BackSpace")
        scr.key("1")
        t0 = scr.click(ox + START[0], oy + START[1])
        t1, _ = scr.wait_map("Form1", timeout=12, proc=proc)
        error = (t1 - t0) * 1000 - INTERVAL_MS
        if abs(error) > 500:
            raise Failure(f"Quillendor.exe's delay off by {error:.0f} ms: the typed 1 was not taken")
        time.sleep(0.3)
        t2 = scr.click(5, 5)
        t3, _ = scr.wait_map("Quillendor", proc=proc)
        bench.finish_reveal(scr, proc)
    finally:
        end(proc)
    return error, (t3 - t2) * 1000


def plain_delay(scr, cmd):
    """The same two figures on the minimal delay program."""
    proc, (ox, oy) = started(scr, cmd, "Plain Win32 delay")
    try:
        t0 = scr.click(ox + START[0], oy + START[1])
        t1, _ = scr.wait_map("Plain cover", timeout=12, proc=proc)
        error = (t1 - t0) * 1000 - INTERVAL_MS
        time.sleep(0.3)
        t2 = scr.click(5, 5)
        t3, _ = scr.wait_map("Plain reveal", proc=proc)
    finally:
        end(proc)
    return error, (t3 - t2) * 1000


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine", required=True)
    ap.add_argument("--quillendor", required=True)
    ap.add_argument("--message-box", required=True)
    ap.add_argument("--themed-message-box", required=True)
    ap.add_argument("--delay", required=True)
    ap.add_argument("--before", help="another build of Quillendor.exe, measured beside it")
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()

    scr = Screen()
    q, box, themed, plain = ("Quillendor.exe", "plain message box", "themed message box",
                             "plain delay")
    progs = [(q, [args.wine, args.quillendor], "Quillendor"),
             (box, [args.wine, args.message_box], "Plain message box"),
             (themed, [args.wine, args.themed_message_box], "Plain message box"),
             (plain, [args.wine, args.delay], "Plain Win32 delay")]
    before = "Quillendor.exe before"
    if args.before:
        progs.append((before, [args.wine, args.before], "Quillendor"))

    print(f"Start-up and peak memory: {args.runs} runs each, interleaved, after one warm-up run "
          "each.", flush=True)
    for _, cmd, title in progs:
        measure_start(scr, cmd, title)
    starts = {name: [] for name, _, _ in progs}
    for _ in range(args.runs):
        for name, cmd, title in progs:
            starts[name].append(measure_start(scr, cmd, title))

    print(f"Delay of 1 s and click to reveal: {args.runs} runs each, interleaved.", flush=True)
    roads = [(q, quillendor_delay, progs[0][1]), (plain, plain_delay, progs[3][1])]
    if args.before:
        roads.append((before, quillendor_delay, progs[4][1]))
    delays = {name: [] for name, _, _ in roads}
    reveals = {name: [] for name, _, _ in roads}
    for _ in range(args.runs):
        for name, measure, cmd in roads:
            error, reveal = measure(scr, cmd)
            delays[name].append(error)
            reveals[name].append(reveal)

    def m(name, key):
        return med([r[key] for r in starts[name]])

    def worst(values):
        return max(values, key=abs)

    size = os.path.getsize(args.quillendor)
    rows = [
        ("Start-up: process start to first window mapped (ms)", f"{m(q, 'map'):.1f}",
         f"{m(box, 'map'):.1f}", f"{m(plain, 'map'):.1f}",
         f"{m(q, 'map') - m(box, 'map'):+.1f}", "", ""),
        ("Start-up: Quillendor.exe's time over the plain message box's",
         f"{m(q, 'map') / m(box, 'map'):.2f}x", "", "", "", "<= 1.10x",
         verdict(m(q, 'map') <= 1.10 * m(box, 'map'))),
        ("Start-up: the same over the message box built with Quillendor.exe's manifest "
         f"({m(themed, 'map'):.1f} ms)", f"{m(q, 'map') / m(themed, 'map'):.2f}x", "", "", "", "",
         ""),
        ("Peak memory: VmHWM of the program's Wine process 0.5 s after the map (MiB)",
         f"{m(q, 'hwm'):.1f}", f"{m(box, 'hwm'):.1f}", f"{m(plain, 'hwm'):.1f}",
         f"{m(q, 'hwm') - m(box, 'hwm'):+.1f}", "", ""),
    ]
    if args.before:
        rows.append(("Start-up: this Quillendor.exe's time over the earlier one's "
                     f"({m(before, 'map'):.1f} ms; {os.path.getsize(args.before):,} bytes, this "
                     f"one {size:,})", f"{m(q, 'map') / m(before, 'map'):.2f}x", "", "", "",
                     "<= 1.05x", verdict(m(q, 'map') <= 1.05 * m(before, 'map'))))
    dq, dp = med(delays[q]), med(delays[plain])
    rows.append(("Delay 1 s: release of the click on Start to the full-screen window mapped, "
                 "less 1,001 ms (ms), median (worst)",
                 f"{dq:+.2f} ({worst(delays[q]):+.2f})", "",
                 f"{dp:+.2f} ({worst(delays[plain]):+.2f})", f"{dq - dp:+.2f}",
                 "<= plain + 2 ms", verdict(dq - dp <= 2)))
    rq, rp = med(reveals[q]), med(reveals[plain])
    rows.append(("Click on the full-screen window to the next window mapped (ms), median (worst)",
                 f"{rq:.1f} ({max(reveals[q]):.1f})", "", f"{rp:.1f} ({max(reveals[plain]):.1f})",
                 f"{rq - rp:+.1f}", "", ""))
    rows.append(("Size of the program file (KiB)", f"{size / 1024:.0f}",
                 f"{os.path.getsize(args.message_box) / 1024:.0f}",
                 f"{os.path.getsize(args.delay) / 1024:.0f}", "", "<= 1024 KiB",
                 verdict(size <= 1024 * 1024)))

    print()
    print("| Measure | Quillendor.exe | Plain message box | Plain delay | Quillendor - plain | "
          "Target | Result |")
    print("|---|---|---|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")
    if args.before:
        print()
        print(f"| Measure | Quillendor.exe | Before ({args.before}) | Difference |")
        print("|---|---|---|---|")
        for label, now, then in (
                ("Start-up: process start to first window mapped (ms)", m(q, "map"),
                 m(before, "map")),
                ("Delay 1 s: release of the click on Start to the full-screen window mapped, "
                 "less 1,001 ms (ms)", dq, med(delays[before])),
                ("Click on the full-screen window to the next window mapped (ms)", rq,
                 med(reveals[before]))):
            print(f"| {label} | {now:.2f} | {then:.2f} | {now - then:+.2f} |")
    print()
    print("Medians (verdicts on medians). Samples in run order follow; on a shared machine compare "
          "figures within one run.")
    for key, unit in (("map", "ms"), ("hwm", "MiB")):
        for name in starts:
            print(f"  {key:4s} {name:18s} ({unit}): "
                  + " ".join(f"{r[key]:.1f}" for r in starts[name]))
    for name in delays:
        print(f"  delay error {name:15s} (ms): " + " ".join(f"{e:+.2f}" for e in delays[name]))
    for name in reveals:
        print(f"  click to next window {name:15s} (ms): "
              + " ".join(f"{e:.1f}" for e in reveals[name]))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as e:
        print(f"wine bench: {e}", file=sys.stderr)
        sys.exit(1)
