#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""How soon headless sway shows a full-screen window on each of two outputs, and on a third one
plugged in under it, with no pointer moving there: Quillendor's fake screen beside a plain Qt
program that does the same (bench/wayland_race.cpp --stay: a dialog whose Start button shows a
borderless full-screen window per output, made ahead of time, and one more on an output plugged
in). Both run on Wayland as a user runs them (no WAYLAND_DEBUG), as the desktop matrix's account
when run as root.

    bench/sway_outputs.py [--runs N] [--limit S] [--late S] [--build DIR] [--xwayland]
                          [--sway-debug damage=rerender] [--plain-redraw MS]

Each run starts its own sway (two 1280x1024 outputs side by side), starts one of the two programs
(they alternate), clicks Start with a virtual pointer, which then stays on the Start button, and
reads the screen with grim every 0.1 s: how long after sway shows a full-screen window on every
output each output is teal, outside the program's text; then the same for an output plugged in
(sway's create_output), from when sway shows the window full screen on it. An output not teal
within --limit seconds counts as undrawn. Prints one line a run and, for each program, how many
outputs were left undrawn longer than --late seconds (1.5), and the medians of the times.
--plain-redraw makes the plain program's full-screen windows draw themselves whole again every
MS milliseconds, to see whether a later frame gets an undrawn output drawn. --sway-debug starts
sway with one of its debug flags: damage=rerender draws every output whole on each frame instead
of what sway's damage tracking says has changed. Ends every process it started.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from system_python import ensure_xlib  # noqa: E402

ensure_xlib(__file__)
import desktops  # noqa: E402
from cases import FORM1_LABEL, NONE, START, TEAL, cover_points  # noqa: E402
from run_desktops import settled  # noqa: E402

sys.path.insert(0, os.path.join(REPO, "bench"))
from wayland_race import build  # noqa: E402


class Client:
    """A program on the desktop as the matrix starts it, without the protocol log."""

    def __init__(self, d, argv, env, log):
        self.out = open(log, "w")
        self.proc = d.popen(argv, env, stdout=self.out, stderr=subprocess.STDOUT)
        self.pid = self.proc.pid
        self.protocol = None

    def running(self):
        return self.proc.poll() is None

    def stop(self):
        desktops.end(self.proc)
        self.out.close()


# What each program is called and shows: its dialog, where its buttons are, the title of its
# full-screen windows and the text on the primary output's one.
KINDS = {
    "quillendor": {"dialog": "Quillendor", "press": [NONE, START], "cover": "Form1",
                   "label": FORM1_LABEL},
    "plain": {"dialog": "Plain dialog", "press": [START], "cover": "Plain cover",
              "label": (0, 0, 0, 0)},
}


def full_screen_on(d, client, title, outputs):
    """True when sway shows one full-screen window so named on each of these outputs."""
    wins = [w for w in d.windows(client) if w.title == title and w.fullscreen]
    return all(sum(1 for w in wins if w.outputs == [o.name]) == 1 for o in outputs)


def wait_until(what, condition, timeout, d, client):
    deadline = time.monotonic() + timeout
    while not condition():
        if not client.running():
            raise desktops.SessionError(f"the program ended before {what}")
        if time.monotonic() > deadline:
            raise desktops.SessionError(f"no {what} within {timeout} s: {d.windows(client)}")
        time.sleep(0.02)
    return time.monotonic()


def teal_times(d, outputs, kind, since, limit):
    """Seconds from `since` until each output is teal at every point, or None when it is not
    within `limit` seconds. A screenshot counts from when it was asked for."""
    primary = d.outputs[0]
    points = {o.name: [(o.x + x, o.y + y) for x, y in
                       cover_points(o.width, o.height,
                                    KINDS[kind]["label"] if o is primary else (0, 0, 0, 0))]
              for o in outputs}
    found = {}
    while len(found) < len(outputs) and time.monotonic() - since < limit:
        taken = time.monotonic()
        every = [pt for pts in points.values() for pt in pts]
        colours = dict(zip(every, d.colours(every)))
        for name, pts in points.items():
            if name not in found and all(colours[pt] == TEAL for pt in pts):
                found[name] = taken - since
        time.sleep(0.05)
    return [found.get(o.name) for o in outputs]


def one_run(ws, plain_program, kind, limit, xwayland, debug, redraw, logs, n):
    d = desktops.Sway(ws, xwayland, debug=debug)
    client = None
    try:
        d.start()
        env = d.program_env()
        env["QT_QPA_PLATFORM"] = "wayland"
        argv = [ws.program] if kind == "quillendor" else \
            [plain_program, "--stay"] + (["--redraw", str(redraw)] if redraw else [])
        client = Client(d, argv, env, os.path.join(logs, f"{n:04d}-{kind}.log"))
        k = KINDS[kind]
        # Where sway has put the dialog once it stops moving it, drawn.
        dialog = settled(d, client, d.wait_window(client, k["dialog"], timeout=20))
        time.sleep(0.15)
        for x, y in k["press"]:
            d.click(dialog.rect[0] + x, dialog.rect[1] + y)
        first = list(d.outputs)
        came = wait_until("full-screen window on every output",
                          lambda: full_screen_on(d, client, k["cover"], first), 5, d, client)
        at_start = teal_times(d, first, kind, came, limit)
        added = d.add_output()
        plugged = wait_until(f"full-screen window on {added.name}",
                             lambda: full_screen_on(d, client, k["cover"], [added]), 5, d, client)
        at_plug = teal_times(d, [added], kind, plugged, limit)
        return first, at_start, added, at_plug[0]
    finally:
        if client is not None:
            client.stop()
        d.stop()


def shown(seconds):
    return "undrawn" if seconds is None else f"{seconds:.2f} s"


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--runs", type=int, default=10, help="runs of each program")
    ap.add_argument("--limit", type=float, default=5.0, help="seconds to wait for an output")
    ap.add_argument("--late", type=float, default=1.5, help="an output drawn later is late")
    ap.add_argument("--xwayland", action="store_true", help="sway with XWayland")
    ap.add_argument("--sway-debug", action="append", default=[], metavar="FLAG",
                    help="start sway with -D FLAG (damage=rerender: every output drawn whole "
                         "on each frame)")
    ap.add_argument("--plain-redraw", type=int, default=0, metavar="MS",
                    help="the plain program's full-screen windows draw again every MS ms")
    ap.add_argument("--build", default=os.path.join(REPO, "build"),
                    help="build dir with the program; the plain program goes into bench-plain/")
    args = ap.parse_args()
    build_dir = os.path.abspath(args.build)
    program = os.path.join(build_dir, "quillendor")
    if not os.access(program, os.X_OK):
        ap.error(f"no program at {program}")
    account = desktops.desktop_account()
    ws = desktops.Workspace(program, account)
    plain = os.path.join(ws.root, "wayland_race")
    subprocess.run(["cp", build(build_dir), plain], check=True)
    logs = ws.private_dir("logs")
    results = {k: [] for k in KINDS}
    failed = {k: 0 for k in KINDS}
    try:
        for n in range(2 * args.runs):
            kind = list(KINDS)[n % 2]
            try:
                first, at_start, added, at_plug = one_run(ws, plain, kind, args.limit,
                                                          args.xwayland, args.sway_debug,
                                                          args.plain_redraw, logs, n)
            except desktops.SessionError as e:
                failed[kind] += 1
                print(f"run {n + 1} {kind}: did not get there: {e}", flush=True)
                continue
            results[kind].append((at_start, at_plug))
            print(f"run {n + 1} {kind}: " + ", ".join(
                f"{o.name} {shown(t)}" for o, t in zip(first, at_start))
                + f"; plugged {added.name} {shown(at_plug)}", flush=True)
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    finally:
        ws.remove()

    redraws = f"; the plain program draws again every {args.plain_redraw} ms" \
        if args.plain_redraw else ""
    print(f"\nsway {'with' if args.xwayland else 'without'} XWayland"
          f"{''.join(' -D ' + f for f in args.sway_debug)}, two outputs{redraws}; an output "
          f"not teal {args.late} s after its full-screen window came counts as late, one not "
          f"teal within {args.limit} s as undrawn")
    for kind, runs in results.items():
        if not runs:
            print(f"{kind}: no run got there ({failed[kind]} did not)")
            continue
        starts = [t for at_start, _ in runs for t in at_start]
        plugs = [p for _, p in runs]
        late_start = sum(1 for at_start, _ in runs
                         if any(t is None or t > args.late for t in at_start))
        late_plug = sum(1 for p in plugs if p is None or p > args.late)
        drawn = sorted(t for t in starts + plugs if t is not None)
        print(f"{kind}: {len(runs)} runs ({failed[kind]} did not get there); an output late "
              f"when the fake screen came in {late_start} runs, the plugged output late in "
              f"{late_plug} runs; undrawn within {args.limit} s: "
              f"{sum(t is None for t in starts + plugs)} of {len(starts) + len(plugs)} outputs; "
              f"median time to teal of those drawn: "
              f"{statistics.median(drawn) if drawn else float('nan'):.2f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
