#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Runs the end-to-end cases against the built program, each once without a window manager and
once under openbox, every one on a fresh Xvfb with a freshly started program.

    run_e2e.py PROGRAM [--case NAME_OR_GLOB ...] [--setup no-wm|openbox|both] [--serial]
                       [--shots DIR] [--list]
    run_e2e.py --wine Quillendor.exe [--wine-prefix DIR] [the options above]

The minute-long timed road runs in child processes of its own (one per set-up) while the other
cases run, unless --serial. The last line is always "N passed, M failed"; the exit status is 0
only when something ran and nothing failed.

With --wine the program is the Windows build, run under Wine (wine64) with the cases that apply to
it. DIR is a booted Wine prefix (tests/wine/prefix.sh boots one); without it one is booted here.
Each process works in a copy of it, and the cases of the openbox set-up run in a child process of
their own beside those without a window manager.
"""

import argparse
import fnmatch
import os
import re
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))

sys.path.insert(0, HERE)
from system_python import ensure_xlib  # noqa: E402

ensure_xlib(__file__)
from cases import CASES, Context, TimingMiss  # noqa: E402
from xsession import Session  # noqa: E402
import wine  # noqa: E402

SETUPS = {"no-wm": False, "openbox": True}


SHOTS = None   # a directory for a picture of the screen when a case fails
TARGET = None  # wine.WineTarget when the program is the Windows build


def run_one(case, setup, program):
    """Runs a case on a fresh session; a case whose only fault is a time measured out of
    tolerance runs once more, and counts as passed if the second measurement is right. None for
    a case that does not run in this set-up."""
    if case.bare and SETUPS[setup]:
        return None
    ok, took, notes, detail, timing = attempt(case, setup, program)
    if not ok and timing:
        notes.append(f"measured again after: {detail.splitlines()[0]}")
        ok, took2, more, detail, _ = attempt(case, setup, program)
        notes += more
        took += took2
    status = "PASS" if ok else "FAIL"
    print(f"{status} [{setup}] {case.name} ({took:.1f} s)", flush=True)
    for n in notes:
        print(f"     {n}", flush=True)
    if not ok:
        print("     " + detail.replace("\n", "\n     "), flush=True)
    return ok


def attempt(case, setup, program):
    notes = []
    timing = False
    started = time.monotonic()
    if TARGET is not None:
        TARGET.prepare(dpi=case.dpi, xrandr=case.wine_xrandr,
                       link=wine.linked_language(case.env))
    session = Session(*case.screen, wm=SETUPS[setup], monitors=case.monitors, dpi=case.dpi,
                      nested=case.nested)
    ctx = None
    try:
        session.start()
        ctx = Context(session, program, notes.append, target=TARGET, env=case.env,
                      dpi=case.dpi, shots=SHOTS and os.path.join(SHOTS, f"{setup}-{case.name}"),
                      seams=case.seams)
        case.run(ctx)
        ok, detail = True, ""
    except Exception as e:  # AssertionError, SessionError, or the X connection going away
        ok = False
        timing = isinstance(e, TimingMiss)
        detail = f"{type(e).__name__}: {e}"
        if SHOTS and session.d is not None:
            shot = os.path.join(SHOTS, f"{setup}-{case.name}.png")
            try:
                session.save_png(shot)
                detail += f"\n  screen: {shot}"
            except Exception:
                pass
        if not isinstance(e, AssertionError):
            detail += "\n" + traceback.format_exc()
        if ctx is not None:
            for p in ctx.programs:
                out = p.output().strip()
                if out:
                    detail += "\n  program output:\n    " + "\n    ".join(out.splitlines()[-15:])
    finally:
        if ctx is not None:
            ctx.close()
        if TARGET is not None:
            TARGET.end_case()
        session.stop()
    return ok, time.monotonic() - started, notes, detail, timing


def report_child(returncode, output, what):
    """Prints what a child run printed, but its last line, "N passed, M failed", which it
    returns as (N, M); a child that ended otherwise counts as one failure."""
    lines = output.rstrip().splitlines()
    summary = re.fullmatch(r"(\d+) passed, (\d+) failed", lines[-1]) if lines else None
    for line in lines[:-1] if summary else lines:
        print(line, flush=True)
    if summary and returncode in (0, 1):
        return int(summary.group(1)), int(summary.group(2))
    print(f"FAIL {what} ended with status {returncode}", flush=True)
    return 0, 1


def selected(patterns, under_wine):
    cases = [c for c in CASES if (c.wine if under_wine else c.linux)]
    if not patterns:
        return cases
    return [c for c in cases if any(c.name == p or fnmatch.fnmatch(c.name, p) for p in patterns)]


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("program", nargs="?", default=os.path.join(HERE, "..", "..", "build",
                                                                "quillendor"))
    ap.add_argument("--case", "-k", action="append", default=[],
                    help="run only the cases with this name or glob (repeatable)")
    ap.add_argument("--setup", choices=["no-wm", "openbox", "both"], default="both")
    ap.add_argument("--serial", action="store_true",
                    help="run the timed road in this process, one after the other")
    ap.add_argument("--shots", metavar="DIR",
                    help="save a picture of the screen here when a case fails, and the "
                    "pictures some cases take of what they check")
    ap.add_argument("--list", action="store_true", help="list the cases and exit")
    ap.add_argument("--wine", action="store_true",
                    help="PROGRAM is the Windows build: run it under Wine")
    ap.add_argument("--wine-prefix", metavar="DIR",
                    help="a booted Wine prefix to copy (default: boot one)")
    args = ap.parse_args()
    global SHOTS, TARGET
    if args.shots:
        SHOTS = os.path.abspath(args.shots)
        os.makedirs(SHOTS, exist_ok=True)

    if args.list:
        for c in selected([], args.wine):
            print(c.name + ("  (takes a minute)" if c.slow else ""))
        return 0
    program = os.path.abspath(args.program)
    if not os.access(program, os.R_OK if args.wine else os.X_OK):
        print(f"no program at {program}")
        print("0 passed, 1 failed")
        return 1
    cases = selected(args.case, args.wine)
    if not cases:
        print(f"no case matches {args.case}; --list shows them")
        print("0 passed, 1 failed")
        return 1
    setups = list(SETUPS) if args.setup == "both" else [args.setup]

    booted_here = None
    try:
        if args.wine:
            master = args.wine_prefix
            if not master or not wine.booted(master):
                booted_here = tempfile.mkdtemp(prefix="quill-e2e-wineprefix-")
                master = booted_here
                took = time.monotonic()
                wine.boot(master)
                print(f"     Wine prefix booted in {time.monotonic() - took:.1f} s", flush=True)
            TARGET = wine.WineTarget(program, master)
            print(f"     Wine desktop colour {TARGET.desktop}", flush=True)
        return run(args, program, cases, setups, master if args.wine else None)
    except wine.WineError as e:
        print(f"FAIL Wine: {e}")
        print("0 passed, 1 failed")
        return 1
    finally:
        if TARGET is not None:
            TARGET.close()
        if booted_here:
            wine.remove_prefix(booted_here)


def run(args, program, cases, setups, wine_prefix):
    # The slow cases go to child processes now, so their minute passes while the rest run; under
    # Wine, the cases of every set-up but the first too.
    children = []
    all_setups = list(setups)

    def child(names, setup):
        cmd = [sys.executable, os.path.abspath(__file__), program, "--setup", setup, "--serial"]
        for name in names:
            cmd += ["--case", name]
        cmd += ["--shots", SHOTS] if SHOTS else []
        cmd += ["--wine", "--wine-prefix", wine_prefix] if wine_prefix else []
        children.append(subprocess.Popen(cmd, stdout=subprocess.PIPE,
                                         stderr=subprocess.STDOUT, text=True))

    # Under Wine the cases that time a delay to the millisecond run last, one at a time, with
    # nothing beside them: a Wine program starting in another lane held a measured moment up by
    # 20 to 50 ms on two cores.
    measured_last = []
    if wine_prefix and not args.serial:
        measured_last = [c for c in cases if c.measured]
        cases = [c for c in cases if not c.measured]

    if not args.serial:
        for case in [c for c in cases if c.slow]:
            for setup in setups:
                child([case.name], setup)
        cases = [c for c in cases if not c.slow]
        # Under Wine the cases that need no window manager get a lane of their own as well.
        bare = [c for c in cases if c.bare]
        if wine_prefix and bare and "no-wm" in setups:
            child([c.name for c in bare], "no-wm")
            cases = [c for c in cases if not c.bare]
        if wine_prefix and len(setups) > 1 and cases:
            for setup in setups[1:]:
                child([c.name for c in cases], setup)
            setups = setups[:1]

    passed = failed = 0

    def tally(ok):
        nonlocal passed, failed
        if ok is not None:
            passed, failed = passed + bool(ok), failed + (not ok)

    try:
        for setup in setups:
            for case in cases:
                tally(run_one(case, setup, program))
        for child in children:
            out, _ = child.communicate(timeout=600)
            more_passed, more_failed = report_child(child.returncode, out, "a child run")
            passed += more_passed
            failed += more_failed
        for setup in all_setups if measured_last else ():
            for case in measured_last:
                tally(run_one(case, setup, program))
    finally:
        for child in children:
            if child.poll() is None:
                child.kill()
                child.wait()

    print(f"{passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
