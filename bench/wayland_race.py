#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""How often Qt 6.4's Wayland plugin aborts a plain Qt program that makes Quillendor's window
changes: bench/wayland_race.cpp (no code of ours) run over and over on a headless sway with two
outputs, started as the desktop matrix starts it (tests/e2e/desktops.py: as the account
quill-desk when run as root).

    bench/wayland_race.py [--hide now,after-frame,after-frame-drawing] [--busy] [--aligned]
                          [--rounds N]
                          [--minutes M] [--per-process N] [--no-gdb] [--wayland-debug]
                          [--keep DIR]
    bench/wayland_race.py --forced

Each program runs --per-process rounds (8 window changes each: a dialog shown, two full-screen
windows shown, the dialog hidden, a second dialog shown, the two full-screen windows hidden, the
second dialog hidden; the ways of hiding and --busy are explained in wayland_race.cpp), under gdb
unless --no-gdb, so that an abort leaves the stack of the thread
that died. Programs of the --hide ways given alternate until each way has done --rounds rounds or
--minutes have gone. Prints, for each way: rounds and window changes done, the programs that
died and of what (libwayland's wl_proxy_unref assertion, another abort, a segmentation fault),
and the rate per 1000 window changes; then the functions on the stack of each death.
--forced runs one program (the first --hide way) under bench/wayland_race.gdb instead, which holds
the threads in the order the race needs and prints their stacks: the frame event thread in Qt's
frame callback listener, the main thread hiding that window, and the death that follows: the
wl_proxy_unref assertion, or a segmentation fault when the main thread deletes the window first;
then whether the desktop matrix knows that stack for the race's; its exit status is 0 only when
the race was met and known.
Starts and ends its own sway; leaves no process behind.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from system_python import ensure_xlib  # noqa: E402

ensure_xlib(__file__)
import desktops  # noqa: E402

ASSERTION = "wl_proxy_unref: Assertion `proxy->refcount > 0' failed."
CHANGES_PER_ROUND = 8


def build(build_dir):
    """The reproducer, built with the benchmark's own project into <build-dir>/bench-plain."""
    plain = os.path.join(build_dir, "bench-plain")
    if not os.path.exists(os.path.join(plain, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", os.path.join(REPO, "bench"), "-B", plain, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", plain, "-j2", "--target", "wayland_race"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(plain, "wayland_race")


class Tally:
    def __init__(self, way):
        self.way = way
        self.programs = self.rounds = self.changes = 0
        self.deaths = {}      # what -> count
        self.stacks = []      # (what, [function, ...])


def functions(bt_text):
    """The function names of the first backtrace gdb printed (the thread that got the signal)."""
    names = []
    for line in bt_text.splitlines():
        m = re.match(r"#(\d+)\s+(?:0x[0-9a-f]+ in )?(\S+)", line)
        if not m:
            if names:
                break
            continue
        if m.group(1) == "0" and names:
            break
        names.append(m.group(2))
    return names


WAYS = ("now", "after-frame", "after-frame-drawing")


def run_program(d, program, way, rounds, seed, use_gdb, wayland_debug, stress, logs, n):
    argv = [program, "--rounds", str(rounds), "--hide", way, "--seed", str(seed)] + stress
    if use_gdb:
        argv = ["gdb", "-q", "-batch", "-nx", "-ex", "set debuginfod enabled off",
                "-ex", "set pagination off", "-ex", "set print thread-events off",
                "-ex", "handle SIGPIPE nostop noprint", "-ex", "run", "-ex", "bt",
                "--args"] + argv
    env = d.program_env()
    env["QT_QPA_PLATFORM"] = "wayland"
    if wayland_debug:
        env["WAYLAND_DEBUG"] = "1"
    out_path = os.path.join(logs, f"{n:05d}-{way}.out")
    err_path = os.path.join(logs, f"{n:05d}-{way}.err")
    with open(out_path, "w") as out, open(err_path, "w") as err:
        proc = d.popen(argv, env, stdout=out, stderr=err)
        try:
            proc.wait(timeout=30 + 3 * rounds)
            hung = False
        except subprocess.TimeoutExpired:
            hung = True
        finally:
            desktops.end(proc)
    text = open(out_path, errors="replace").read()
    with open(err_path, errors="replace") as f:
        errors = [line for line in f if not re.match(r"^\[\s*\d+\.\d+\]\s", line)]
    done = [(int(r), int(c)) for r, c in re.findall(r"^round (\d+) changes (\d+)$", text, re.M)]
    finished = bool(re.search(r"^done$", text, re.M))
    signal_name = None
    # gdb names the thread that got the signal, when the program has more than one.
    m = re.search(r"(?:Program|Thread \d+ (\"[^\"]*\") ?(?:\([^)]*\))?) ?"
                  r"(?:received|terminated with) signal (SIG\w+)", text)
    thread = ""
    if m:
        signal_name = m.group(2)
        thread = f"thread {m.group(1)}: " if m.group(1) else "main thread: "
    elif not use_gdb and proc.returncode is not None and proc.returncode < 0:
        signal_name = {6: "SIGABRT", 11: "SIGSEGV"}.get(-proc.returncode,
                                                        f"signal {-proc.returncode}")
    if any(ASSERTION in line for line in errors):
        what = "abort: " + ASSERTION
    elif signal_name == "SIGABRT":
        # The failed assertion, not what gdb says of the source it has not got.
        said = [line.strip() for line in errors if "Assertion" in line] or \
            [line.strip() for line in errors if line.strip() and not re.match(r"\d+\t", line)]
        what = f"abort: {said[-1].split(': ', 1)[-1] if said else '(no message)'}"
    elif signal_name:
        what = signal_name
    elif hung:
        what = "still running at the time limit"
    elif not finished:
        what = f"ended early, status {proc.returncode}: " + "".join(errors[-3:]).strip()
    else:
        what = None
    stack = ([thread] + functions(text[m.end():])) if (m and use_gdb) else []
    return (done[-1] if done else (0, 0)), what, stack, out_path


def forced(d, ws, way):
    script = os.path.join(ws.root, "wayland_race.gdb")
    shutil.copy(os.path.join(REPO, "bench", "wayland_race.gdb"), script)
    os.chmod(script, 0o644)
    try:
        d.start()
        env = d.program_env()
        env["QT_QPA_PLATFORM"] = "wayland"
        core = os.path.join(d.home, "race.core")
        proc = d.popen(["gdb", "-q", "-batch", "-nx", "-ex", f'set $core = "{core}"',
                        "-x", script, "--args", ws.program, "--rounds", "3", "--hide", way], env,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            out, _ = proc.communicate(timeout=120)
        finally:
            desktops.end(proc)
        text = out.decode(errors="replace")
        print("\n".join(line for line in text.splitlines()
                        if line.startswith(("#", "===", "Thread")) or ASSERTION in line))
        # The listener's second destroy meets the assertion; if the main thread deletes the
        # window first, the listener uses freed memory instead. The desktop matrix must know
        # the stack of either death, as it reads it from a core file, for the race's.
        stack = desktops.core_stack(ws.program, core)[0] if os.path.exists(core) else []
        known = desktops.qt_frame_callback_race(stack)
        print(f"\nread from the core file: {' <- '.join(map(repr, stack[:12]))}\n"
              f"the desktop matrix {'knows' if known else 'does NOT know'} this stack for "
              f"Qt's frame callback race (desktops.qt_frame_callback_race)")
        return 0 if (ASSERTION in text or "signal SIGSEGV" in text) and known else 1
    finally:
        d.stop()
        ws.remove()


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--hide", default="now,after-frame",
                    help="the ways of hiding to compare, comma-separated: " + ", ".join(WAYS))
    ap.add_argument("--busy", action="store_true", help="the windows draw every 5 ms")
    ap.add_argument("--aligned", action="store_true",
                    help="the full-screen windows go as the compositor answers frames")
    ap.add_argument("--rounds", type=int, default=500, help="rounds for each way (8 changes each)")
    ap.add_argument("--minutes", type=float, default=20, help="stop after this long at the most")
    ap.add_argument("--per-process", type=int, default=50, help="rounds in one program")
    ap.add_argument("--no-gdb", action="store_true", help="run the programs without gdb")
    ap.add_argument("--wayland-debug", action="store_true",
                    help="run the programs with WAYLAND_DEBUG=1, as the desktop matrix does")
    ap.add_argument("--build", default=os.path.join(REPO, "build"),
                    help="build dir; the reproducer goes into its bench-plain/")
    ap.add_argument("--keep", metavar="DIR", help="keep the programs' output here")
    ap.add_argument("--forced", action="store_true",
                    help="make the race happen once under gdb (bench/wayland_race.gdb)")
    args = ap.parse_args()
    ways = [w for w in args.hide.split(",") if w]
    if not ways or any(w not in WAYS for w in ways):
        ap.error("--hide takes " + ", ".join(WAYS))
    if shutil.which("gdb") is None and not args.no_gdb:
        ap.error("gdb is not installed (apt-get install gdb), or pass --no-gdb")

    program = build(os.path.abspath(args.build))
    account = desktops.desktop_account()
    ws = desktops.Workspace(program, account)
    d = desktops.Sway(ws, False)
    if args.forced:
        return forced(d, ws, ways[0])
    logs = args.keep or tempfile.mkdtemp(prefix="wayland-race-")
    os.makedirs(logs, exist_ok=True)
    if account:
        os.chown(logs, *account)
    tallies = {w: Tally(w) for w in ways}
    stress = (["--busy"] if args.busy else []) + (["--aligned"] if args.aligned else [])
    started = time.monotonic()
    deadline = started + 60 * args.minutes
    n = 0
    try:
        d.start()
        print(f"headless sway, outputs {d.outputs}; hiding: {', '.join(ways)}; "
              f"{args.per_process} rounds a program; {'no gdb' if args.no_gdb else 'under gdb'}"
              f"{'; WAYLAND_DEBUG=1' if args.wayland_debug else ''}"
              f"{'; windows drawing every 5 ms' if args.busy else ''}"
              f"{'; full-screen windows hidden as frames are answered' if args.aligned else ''}",
              flush=True)
        while time.monotonic() < deadline:
            todo = [w for w in ways if tallies[w].rounds < args.rounds]
            if not todo:
                break
            way = todo[n % len(todo)]
            t = tallies[way]
            n += 1
            rounds = min(args.per_process, args.rounds - t.rounds)
            (r, c), what, stack, out = run_program(d, ws.program, way, rounds, 1000 + n,
                                                   not args.no_gdb, args.wayland_debug, stress,
                                                   logs, n)
            t.programs += 1
            t.rounds += r
            t.changes += c
            if what:
                t.deaths[what] = t.deaths.get(what, 0) + 1
                t.stacks.append((what, stack))
                print(f"  program {n} ({way}): died in round {r + 1}: {what}", flush=True)
            if d.sway.poll() is not None:
                raise desktops.SessionError("sway ended")
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    finally:
        d.stop()
        ws.remove()
        if not args.keep:
            shutil.rmtree(logs, ignore_errors=True)

    print(f"\n{time.monotonic() - started:.0f} s in all")
    for t in tallies.values():
        died = sum(t.deaths.values())
        rate = 1000.0 * died / t.changes if t.changes else float("nan")
        print(f"hide {t.way}: {t.programs} programs, {t.rounds} rounds, {t.changes} window "
              f"changes, {died} died: {rate:.2f} per 1000 window changes")
        for what, count in sorted(t.deaths.items()):
            print(f"    {count} x {what}")
    for t in tallies.values():
        for what, stack in t.stacks:
            if stack:
                print(f"stack ({t.way}, {what}):\n    {stack[0]}" + " <- ".join(stack[1:13]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
