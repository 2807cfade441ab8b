#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""How often the program itself dies on sway as a user meets it: the desktop matrix's roads
(tests/e2e/run_desktops.py) run over and over on a headless sway with two outputs and no X
server, the program on Wayland without WAYLAND_DEBUG, on a machine whose cores are kept busy by
busy loops of this script's own.

    bench/wayland_roads.py [--roads N] [--busy N] [--road NAME ...] [--wayland-debug]
                           [--build DIR] [--lock PATH]

Each round starts a sway, runs the roads in the matrix's order (the last one, display_gone, ends
that sway) and counts, for each road: the roads run, the program's window changes (windows
mapped and unmapped, as sway reports them over its IPC socket), and the program's deaths by a
signal, with the stack each died on (from its core file, read by gdb) and whether that stack is
Qt 6.4's Wayland frame callback race's (desktops.qt_frame_callback_race). A road that fails
for another reason is counted apart. The roads are the matrix's, screenshots included, but for
two things: the protocol log is left out, unless --wayland-debug gives it to every road, and an
output sway leaves undrawn gets the pointer after 1 s instead of the matrix's 3 (FIRST_FRAME).
Prints a line for each death, then a table of counts and rates per 1000 roads and per 1000 window
changes.

Holds the lock file --lock (/tmp/quill-desktops.lock) while it measures, so that two long
measurements of this kind do not run at once; stops its busy loops and every process it started
when it ends.
"""

import argparse
import fcntl
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from system_python import ensure_xlib  # noqa: E402

ensure_xlib(__file__)
import desktops  # noqa: E402
import run_desktops  # noqa: E402


class WindowEvents:
    """sway's window events over its IPC socket: counts the windows each process mapped ("new")
    and unmapped ("close")."""

    def __init__(self, swaysock):
        self.counts = {}
        self.lock = threading.Lock()
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(swaysock)
        payload = b'["window"]'
        self.sock.sendall(b"i3-ipc" + struct.pack("<II", len(payload), 2) + payload)
        kind, body = self._message()
        if kind != 2 or not json.loads(body).get("success"):
            raise desktops.SessionError(f"sway refused the subscription: {body!r}")
        threading.Thread(target=self._read, daemon=True).start()

    def _exactly(self, n):
        data = b""
        while len(data) < n:
            more = self.sock.recv(n - len(data))
            if not more:
                raise EOFError
            data += more
        return data

    def _message(self):
        head = self._exactly(14)
        length, kind = struct.unpack("<II", head[6:])
        return kind, self._exactly(length)

    def _read(self):
        try:
            while True:
                kind, body = self._message()
                if kind & 0x7fffffff != 3:          # the window event
                    continue
                event = json.loads(body)
                if event.get("change") in ("new", "close"):
                    pid = event.get("container", {}).get("pid")
                    with self.lock:
                        self.counts[pid] = self.counts.get(pid, 0) + 1
        except (EOFError, OSError, ValueError):
            return

    def changes(self, pid):
        with self.lock:
            return self.counts.get(pid, 0)

    def close(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
            self.sock.close()
        except OSError:
            pass


class Sway(desktops.Sway):
    """The matrix's sway without XWayland, as users run it."""

    def __init__(self, ws, wayland_debug):
        super().__init__(ws, False)
        self.wayland_debug = wayland_debug
        self.events = None

    def start(self):
        super().start()
        self.events = WindowEvents(self.swaysock)
        return self

    def start_program(self, protocol=False):
        return super().start_program(protocol=self.wayland_debug)

    def stop(self):
        if self.events:
            self.events.close()
        super().stop()


class Tally:
    def __init__(self):
        self.roads = self.changes = self.failed = 0
        self.deaths = {}            # "SIGABRT, the race's stack" -> count

    def died(self):
        return sum(self.deaths.values())


def busy_loops(n):
    """n processes that keep a core busy each."""
    return [subprocess.Popen(["/bin/sh", "-c", "while :; do :; done"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(n)]


def rate(count, per):
    return f"{1000.0 * count / per:.2f}" if per else "-"


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--roads", type=int, default=1000, help="roads to run in all")
    ap.add_argument("--busy", type=int, default=os.cpu_count() or 2,
                    help="busy loops to run meanwhile (default: one per core)")
    ap.add_argument("--road", action="append", default=[], help="only these roads")
    ap.add_argument("--wayland-debug", action="store_true",
                    help="every road with WAYLAND_DEBUG=1, as the matrix's protocol roads")
    ap.add_argument("--build", default=os.path.join(REPO, "build"),
                    help="the build dir with the program")
    ap.add_argument("--lock", default="/tmp/quill-desktops.lock",
                    help="held while measuring; empty for none")
    args = ap.parse_args()
    program = os.path.join(os.path.abspath(args.build), "quillendor")
    if not os.access(program, os.X_OK):
        ap.error(f"no program at {program}")
    roads = [(r, f) for r, f in run_desktops.ROADS if not args.road or r in args.road]
    if not roads:
        ap.error(f"no road among {[r for r, _ in run_desktops.ROADS]}")
    if args.lock:
        lock = open(args.lock, "a")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            print(f"waiting for {args.lock}", flush=True)
            fcntl.flock(lock, fcntl.LOCK_EX)
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))

    run_desktops.FIRST_FRAME = 1
    account = desktops.desktop_account()
    ws = desktops.Workspace(program, account)
    tallies = {r: Tally() for r, _ in roads}
    loops = busy_loops(args.busy)
    started = time.monotonic()
    load = []
    done = 0
    print(f"headless sway, two outputs, no X server; the program "
          f"{'with' if args.wayland_debug else 'without'} WAYLAND_DEBUG; {args.busy} busy "
          f"loops on {os.cpu_count()} cores; roads: {', '.join(r for r, _ in roads)}",
          flush=True)
    try:
        while done < args.roads:
            d = Sway(ws, args.wayland_debug)
            try:
                d.start()
                for road, run in roads:
                    if done >= args.roads or d.sway.poll() is not None:
                        break
                    if road in run_desktops.NEEDS and not getattr(d, run_desktops.NEEDS[road]):
                        continue
                    ok, _, _, detail, _, programs = run_desktops.run_road(d, road, run)
                    done += 1
                    t = tallies[road]
                    t.roads += 1
                    time.sleep(0.2)     # sway's last events of the road
                    t.changes += sum(d.events.changes(p.pid) for p in programs)
                    deaths = [p.death() for p in programs if p.death() is not None]
                    for death in deaths:
                        what = f"{death.signal}, " + ("the race's stack" if death.qt_race
                                                      else "another stack")
                        t.deaths[what] = t.deaths.get(what, 0) + 1
                        stack = " <- ".join(map(repr, death.stack[:30])) or death.why_no_stack
                        print(f"  road {done} ({road}): died of {death.signal} in {stack}",
                              flush=True)
                    if not ok and not deaths:
                        t.failed += 1
                        print(f"  road {done} ({road}) failed: {detail.splitlines()[0]}",
                              flush=True)
                load.append(os.getloadavg()[0])
                if done and done % 60 < len(roads):
                    print(f"  {done} roads, {time.monotonic() - started:.0f} s", flush=True)
            except desktops.SessionError as e:
                print(f"  sway: {e}", flush=True)
            finally:
                d.stop()
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    finally:
        for loop in loops:
            loop.kill()
            loop.wait()
        ws.remove()

    print(f"\n{done} roads in {time.monotonic() - started:.0f} s; load average (1 min) "
          f"{min(load, default=0):.1f} to {max(load, default=0):.1f} with {args.busy} busy "
          f"loops on {os.cpu_count()} cores")
    print(f"{'road':<14} {'roads':>6} {'changes':>8} {'deaths':>7} {'per 1000 roads':>15} "
          f"{'per 1000 changes':>17} {'failed otherwise':>17}")
    total = Tally()
    for road, t in tallies.items():
        print(f"{road:<14} {t.roads:>6} {t.changes:>8} {t.died():>7} "
              f"{rate(t.died(), t.roads):>15} {rate(t.died(), t.changes):>17} {t.failed:>17}")
        total.roads += t.roads
        total.changes += t.changes
        total.failed += t.failed
        for what, n in t.deaths.items():
            total.deaths[what] = total.deaths.get(what, 0) + n
    print(f"{'all':<14} {total.roads:>6} {total.changes:>8} {total.died():>7} "
          f"{rate(total.died(), total.roads):>15} {rate(total.died(), total.changes):>17} "
          f"{total.failed:>17}")
    for what, n in sorted(total.deaths.items()):
        print(f"    {n} x {what}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
