#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The program's main roads on real desktops: sway and GNOME's mutter as headless Wayland
compositors with two outputs, each with XWayland and without (the program runs on X11 through
XWayland under mutter, on Wayland otherwise), and two X11 window managers on Xvfb with one
monitor: Xfce's xfwm4 and KDE Plasma's KWin. Also the start with no display, and a display that
goes away under the running program.

    run_desktops.py PROGRAM [--desktop NAME ...] [--road NAME ...] [--platform xcb|wayland]
                            [--shots DIR] [--keep] [--jobs N] [--list]

Each desktop runs in a process of its own, several at once (--jobs). --platform runs the program
on that platform wherever it can (as a user who sets QT_QPA_PLATFORM would), to compare the two.
A road whose program dies of Qt 6.4's Wayland frame callback race, as the stack it died on shows
(RACE_NOTE below), runs once more; the line before the last says how many did. The last line is
always "N passed, M failed"; the exit status is 0 only when something ran and nothing failed.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from system_python import ensure_xlib  # noqa: E402

ensure_xlib(__file__)
import desktops  # noqa: E402
from run_e2e import report_child  # noqa: E402
from cases import (CANCEL, DIALOG_SIZE, FORM1_LABEL, FORM3_LABEL, NONE, REVEAL_AT,  # noqa: E402
                   REVEAL_OK, REVEAL_SIZE, START, TEAL, TIMER, check, cover_points,
                   sanitized)

# sway with XWayland draws every output whole on each frame (its debug flag damage=rerender), so
# that the fake screen's first frame on every output is seen with no pointer moving; sway as
# users run it leaves an output undrawn until the pointer comes (see desktops.Sway), which
# sway-wayland shows.
DESKTOPS = {
    "sway-xwayland": lambda ws, platform: desktops.Sway(ws, True, platform,
                                                        debug=["damage=rerender"]),
    "sway-wayland": lambda ws, platform: desktops.Sway(ws, False, platform),
    "mutter-xwayland": lambda ws, platform: desktops.Mutter(ws, True, platform),
    "mutter-wayland": lambda ws, platform: desktops.Mutter(ws, False, platform),
    "xfwm4": lambda ws, platform: desktops.Xfwm4(ws, platform),
    "kwin": lambda ws, platform: desktops.KWin(ws, platform),
}

# Where the program runs on Wayland itself unless the user chose a platform: sway makes it do so
# even where XWayland is there.
NATIVE_WAYLAND = ("sway-xwayland", "sway-wayland", "mutter-wayland")

SHOTS = None


class Context:
    def __init__(self, desktop, road):
        self.d = desktop
        self.road = road
        self.notes = []
        self.programs = []

    def start(self):
        p = self.d.start_program(protocol=self.road in READS_PROTOCOL)
        self.programs.append(p)
        return p

    def say(self, text):
        self.notes.append(text)

    def shot(self, name):
        if SHOTS:
            path = os.path.join(SHOTS, f"{self.d.name}-{self.road}-{name}.png")
            if self.d.screenshot(path):
                self.say(f"screenshot {path}")

    def close(self):
        for p in self.programs:
            p.stop()


# --- steps ---------------------------------------------------------------------------------------

def primary(d):
    return d.outputs[0]


def press(d, p, win, point, keys):
    """A control of a dialog pressed: clicked where the desktop says the dialog is, or reached
    with the keyboard where it does not say (a native Wayland window on mutter)."""
    if win.rect is None:
        d.keys_to(p, win, keys)
    else:
        d.click_on(p, win, win.rect[0] + point[0], win.rect[1] + point[1])


def placed(ctx, what, win, want):
    """On X11 the program asks for its dialog's place, and a window manager that honours it puts
    the dialog there; on Wayland the compositor alone places windows."""
    if win.shell == "x11":
        check(win.asked_position == want,
              f"{what}: the program asked for {win.asked_position}, not {want}")
        if ctx.d.places_x11_windows:
            check(win.rect[:2] == want, f"{what} is at {win.rect[:2]}, not at {want}")
            return
    ctx.say(f"{what} placed by the compositor at {win.rect[:2]} on {win.outputs}; the "
            f"program's place for it is {want}")


def settled(d, p, win, timeout=3.0):
    """The window once the compositor has stopped moving it: it may map a window first and
    place it a frame later."""
    deadline = time.monotonic() + timeout
    still = 0
    while still < 2:
        time.sleep(0.15)
        now = [w for w in d.windows(p) if w.title == win.title]
        still = still + 1 if now and now[0].rect == win.rect and now[0].size == win.size else 0
        check(time.monotonic() < deadline, f"{win.title} keeps moving: {win} then {now}")
        if now:
            win = now[0]
    return win


def setup_dialog(ctx, p):
    d = ctx.d
    dialog = settled(d, p, d.wait_window(p, "Quillendor", timeout=20))
    check(dialog.shell == d.expected_shell(),
          f"the program runs on {dialog.shell}, expected {d.expected_shell()}")
    check(not dialog.fullscreen, "the setup dialog is full screen")
    if dialog.rect is not None:
        check(dialog.size == DIALOG_SIZE, f"the setup dialog is {dialog.size}, not {DIALOG_SIZE}")
        out = primary(d)
        centred = (out.x + (out.width - DIALOG_SIZE[0]) // 2,
                   out.y + (out.height - DIALOG_SIZE[1]) // 2)
        placed(ctx, "the setup dialog", dialog, centred)
    else:
        ctx.say(f"setup dialog placed by the compositor on {dialog.outputs}, size {dialog.size}")
    time.sleep(0.15)   # its first paint
    ctx.shot("setup")
    return dialog


def check_fake_screen(ctx, p, title, label):
    """The fake screen over every output: on each, one full-screen window of that name; teal all
    over but for the text on the primary output, with no pointer moving, where the desktop draws
    every output it should (see FIRST_FRAME). Where the road reads the program's protocol log,
    each Wayland window also asked to be full screen on that very output and answered the
    compositor's last configure with a frame (a compositor takes a configure as answered only
    then: sway waits a fifth of a second for it). Returns the window on each output, by output
    name."""
    d = ctx.d
    asked = p.protocol is not None
    deadline = time.monotonic() + 3
    while True:
        wins = d.windows(p)
        screens = [w for w in wins if w.title == title]
        on = {o.name: [w for w in screens if w.fullscreen and w.outputs == [o.name]]
              for o in d.outputs}
        if len(screens) == len(d.outputs) and all(len(v) == 1 for v in on.values()) \
                and all(w.shell != "wayland" or not asked
                        or (w.asked_output and w.unanswered is None) for w in screens):
            break
        check(time.monotonic() < deadline,
              f"{title}: not one full-screen window on each of {d.outputs}"
              + (", each with the compositor's last configure answered" if asked else "")
              + f": {screens}")
        time.sleep(0.1)
    came = time.monotonic()
    others = [w for w in wins if w.title != title]
    check(not others, f"{title} should be the program's only window, also: {others}")
    covers = {name: found[0] for name, found in on.items()}
    points = []
    for out in d.outputs:
        w = covers[out.name]
        if w.rect is not None:
            check(w.rect == out.rect, f"{title} covers {w.rect}, not {out.name} {out.rect}")
        if w.shell == "wayland" and asked:
            check(w.asked_output == out.name,
                  f"{title} on {out.name} asked to be full screen on {w.asked_output}")
        text = label if out is primary(d) else (0, 0, 0, 0)
        points += [(out.x + x, out.y + y) for x, y in cover_points(out.width, out.height, text)]
    # The compositor may show a window a frame before the program has drawn it full size.
    deadline = came + FIRST_FRAME
    nudged = []
    while True:
        colours = d.colours(points)
        if colours is None:
            break
        wrong = [(pt, c) for pt, c in zip(points, colours) if c != TEAL]
        if not wrong:
            ctx.say(f"{title}: {len(points)} points over {len(d.outputs)} outputs teal "
                    f"{time.monotonic() - came:.1f} s after its windows were full screen"
                    + (f", the pointer gone to {nudged}" if nudged else ""))
            break
        if time.monotonic() > deadline and d.late_redraw and not nudged:
            stale = [o for o in d.outputs if any(o.contains(*pt) for pt, _ in wrong)]
            nudged = [o.name for o in stale]
            ctx.say(f"{title}: {d.name} had not drawn {nudged} {FIRST_FRAME} s after the "
                    f"windows were full screen ({len(wrong)} points not teal), as it leaves a "
                    f"plain Qt program's (bench/sway_outputs.py); sway-xwayland, which draws "
                    f"outputs whole, checks the first frame there. The pointer goes there")
            for out in stale:
                d.move_pointer(*inside(out))
            deadline = time.monotonic() + FIRST_FRAME
            continue
        check(time.monotonic() < deadline,
              f"{title}: the screen is not teal at {wrong[:5]} {FIRST_FRAME} s after its "
              f"windows were full screen"
              + (f", the pointer gone to {nudged}" if nudged else ", with no pointer moving"))
        time.sleep(0.1)
    return covers


def check_reveal(ctx, reveal):
    d = ctx.d
    check(not reveal.fullscreen, "the reveal dialog is full screen")
    if reveal.rect is None:
        ctx.say(f"reveal dialog placed by the compositor on {reveal.outputs}")
        return
    check(reveal.size == REVEAL_SIZE, f"the reveal dialog is {reveal.size}, not {REVEAL_SIZE}")
    out = primary(d)
    placed(ctx, "the reveal dialog", reveal, (out.x + REVEAL_AT[0], out.y + REVEAL_AT[1]))


def assert_exits(p, status=0, timeout=5.0):
    code = p.wait_exit(timeout)
    check(code is not None, f"the program is still running {timeout} s later; where its "
          f"threads are:\n{stacks(p)}")
    check(code == status, f"the program ended with status {code}, expected {status}; "
          f"standard error: {p.errors()[-10:]}")


def stacks(p):
    """The hung program's threads, as gdb finds them (the functions of each, innermost first)."""
    if not shutil.which("gdb"):
        return "(no gdb to ask)"
    out = subprocess.run(["gdb", "-p", str(p.pid), "-batch", "-ex", "thread apply all bt 25"],
                         capture_output=True, text=True, timeout=120).stdout
    lines = []
    for line in out.splitlines():
        if line.startswith("Thread "):
            lines.append(line)
        m = re.match(r"#\d+\s+(?:0x[0-9a-f]+ in )?(\S+)", line)
        if m:
            lines.append("    " + m.group(1))
    return "\n".join(lines) or out[-2000:]


def to_form1(ctx, p):
    d = ctx.d
    dialog = setup_dialog(ctx, p)
    press(d, p, dialog, NONE, ["Tab", "Tab", "Tab", "space"])
    press(d, p, dialog, START, ["Tab", "Tab", "Tab", "Tab", "Return"])
    d.wait_window(p, "Form1", fullscreen=True, timeout=5)
    d.wait_gone(p, "Quillendor")


def second(d):
    """The output right of the primary one, or the only one."""
    return d.outputs[-1]


def inside(out):
    return out.x + out.width // 2, out.y + out.height - 100


# --- roads ---------------------------------------------------------------------------------------

def road_none_click(ctx):
    """None and Start: the fake screen at once over every output; a click on the second output
    brings the reveal dialog, whose OK ends the program with status 0."""
    d = ctx.d
    p = ctx.start()
    to_form1(ctx, p)
    covers = check_fake_screen(ctx, p, "Form1", FORM1_LABEL)
    ctx.shot("form1")
    d.click_on(p, covers[second(d).name], *inside(second(d)))
    reveal = d.wait_window(p, "Quillendor", timeout=5)
    d.wait_gone(p, "Form1")
    reveal = settled(d, p, reveal)
    check_reveal(ctx, reveal)
    ctx.shot("reveal")
    press(d, p, reveal, REVEAL_OK, ["Return"])
    assert_exits(p)


def road_delay_close(ctx):
    """A delay of 1 typed in, Start from the keyboard: the fake screen a second later; a close
    request on it (on the second output where the desktop can aim one) brings the reveal dialog,
    and Enter ends the program with status 0."""
    d = ctx.d
    p = ctx.start()
    dialog = setup_dialog(ctx, p)
    d.keys_to(p, dialog, ["Tab", "Tab", "ctrl+a", "1", "Tab", "Tab", "Tab", "Tab", "Tab", "Return"])
    started = time.monotonic()
    d.wait_gone(p, "Quillendor", timeout=3)
    d.wait_window(p, "Form1", fullscreen=True, timeout=5)
    took = time.monotonic() - started
    ctx.say(f"the fake screen came {took:.2f} s after Start (delay 1 s, seen by polling)")
    check(took > 0.5, f"the fake screen came {took:.2f} s after Start, before its delay of 1 s")
    covers = check_fake_screen(ctx, p, "Form1", FORM1_LABEL)
    d.close(p, covers[second(d).name])
    reveal = d.wait_window(p, "Quillendor", timeout=5)
    d.wait_gone(p, "Form1")
    d.keys_to(p, settled(d, p, reveal), ["Return"])
    assert_exits(p)


def road_cancel(ctx):
    """Cancel on the setup dialog ends the program with status 0."""
    d = ctx.d
    p = ctx.start()
    dialog = setup_dialog(ctx, p)
    press(d, p, dialog, CANCEL, ["Tab", "Return"])
    assert_exits(p)


def road_timed_screen(ctx):
    """Timer and Start: the timed screen at once over every output, and a click or a close
    request leaves it up. (Its minute is waited out by the X11 suite, not here.)"""
    d = ctx.d
    p = ctx.start()
    dialog = setup_dialog(ctx, p)
    press(d, p, dialog, TIMER, ["Tab"] * 6 + ["space"])
    press(d, p, dialog, START, ["Tab", "Return"])
    d.wait_window(p, "Form3", fullscreen=True, timeout=5)
    d.wait_gone(p, "Quillendor")
    covers = check_fake_screen(ctx, p, "Form3", FORM3_LABEL)
    ctx.shot("form3")
    for out in d.outputs:
        d.click_on(p, covers[out.name], *inside(out))
        d.close(p, covers[out.name])
    time.sleep(0.3)
    check(p.running(), "the program ended on a click or a close request on the timed screen")
    check_fake_screen(ctx, p, "Form3", FORM3_LABEL)


def road_output_added(ctx):
    """An output plugged in under the fake screen is covered at once, and a click there ends the
    fake screen as anywhere else. (Where the desktop can plug one in: sway.)"""
    d = ctx.d
    p = ctx.start()
    to_form1(ctx, p)
    check_fake_screen(ctx, p, "Form1", FORM1_LABEL)
    added = d.add_output()
    plugged = time.monotonic()
    d.wait_window(p, "Form1", fullscreen=True, timeout=5, on=added.name)
    ctx.say(f"{added.name} ({added.width}x{added.height}+{added.x}+{added.y}) covered "
            f"{time.monotonic() - plugged:.2f} s after sway made it (seen by polling)")
    covers = check_fake_screen(ctx, p, "Form1", FORM1_LABEL)
    ctx.shot("three-outputs")
    d.click_on(p, covers[added.name], *inside(added))
    reveal = d.wait_window(p, "Quillendor", timeout=5)
    d.wait_gone(p, "Form1")
    d.keys_to(p, settled(d, p, reveal), ["Return"])
    assert_exits(p)


def road_display_gone(ctx):
    """The display goes away under the fake screen: one line on standard error and status 1,
    never a core dump. Ends the desktop, so it runs last."""
    d = ctx.d
    p = ctx.start()
    to_form1(ctx, p)
    d.kill_display()
    code = p.wait_exit(10)
    check(code is not None, "the program still runs 10 s after its display went away")
    lines = [line for line in p.errors() if line.strip()]
    ctx.say(f"display gone: status {code}, standard error {lines}")
    check(code == 1, f"the program ended with status {code} when its display went away, "
          f"expected 1 (negative: killed by that signal)")
    # Qt may warn of a drawing that failed as the connection went; the program's own word on it
    # is one line, the last.
    ours = [line for line in lines if "was lost" in line]
    check(len(ours) == 1 and lines[-1] == ours[0] and "display" in ours[0],
          f"standard error should end with one line saying the display was lost: {lines}")


ROADS = [
    ("none_click", road_none_click),
    ("delay_close", road_delay_close),
    ("cancel", road_cancel),
    ("timed_screen", road_timed_screen),
    ("output_added", road_output_added),
    ("display_gone", road_display_gone),
]

NEEDS = {"output_added": "can_add_output"}

# The roads that read what a native Wayland program asked of the compositor (where it asked to
# be full screen) from its protocol log; the others run it as a user does, without the log
# (where the desktop tells of its windows otherwise: see Desktop.start_program).
READS_PROTOCOL = {"none_click", "output_added"}

# Seconds the fake screen may take, once its windows are full screen, to show on every output.
FIRST_FRAME = 3


# --- no display at all ---------------------------------------------------------------------------

def no_display_cases(ws):
    """The program with nothing to show its windows on: one line naming what is missing, and
    status 1."""
    class Bare(desktops.Desktop):
        name = "no-display"

        def program_env(self):
            return self.base_env()

    d = Bare(ws)
    cases = [
        ("nothing", {}, r"neither DISPLAY .* nor WAYLAND_DISPLAY"),
        ("wayland_gone", {"WAYLAND_DISPLAY": "wayland-none", "XDG_SESSION_TYPE": "wayland"},
         r'Wayland display "wayland-none"'),
        ("x11_gone", {"DISPLAY": ":399"}, r'X display ":399"'),
    ]
    results = []
    for name, extra, pattern in cases:
        started = time.monotonic()
        env = d.base_env()
        env.update(extra)
        p = desktops.Program(d, env)
        try:
            code = p.wait_exit(10)
            lines = [line for line in p.errors() if line.strip()]
            ok = code == 1 and len(lines) == 1 and re.search(pattern, lines[0]) is not None
            detail = f"status {code}, standard error {lines}"
        finally:
            p.stop()
        results.append((name, ok, time.monotonic() - started, [detail] if ok else [], detail))
    return results


# --- running -------------------------------------------------------------------------------------

# Qt 6.4's Wayland plugin destroys a window's frame callback on the main thread when the window is
# hidden, while its frame event thread may be destroying the same callback as it dispatches the
# compositor's answer; when the two meet, the program dies of libwayland's wl_proxy_unref
# assertion or of a segmentation fault (bench/wayland_race.py --forced makes them meet under gdb
# and shows both). The program hides its Wayland windows so as to keep off that path (Hiding.h),
# and WAYLAND_DEBUG, which widens the race, is set only for the roads that read the protocol log;
# bench/wayland_roads.py counts what is left (the README has the figures). A program killed by a
# signal leaves a core file, and the stack it died on, read by gdb, tells the race from any other
# death (desktops.qt_frame_callback_race). A road whose program died of the race, and of nothing
# else, runs once more, counted and printed with that stack, and fails if it meets the race
# again; any other death of the program fails the road.
RACE_NOTE = "the program died of Qt's Wayland frame callback race"
RACE_COUNT = re.compile(r"(\d+) roads? met Qt's Wayland frame callback race and ran once more")


def race_count(reruns):
    return f"{reruns} road{'' if reruns == 1 else 's'} met Qt's Wayland frame callback race " \
           "and ran once more"


def run_road(d, road, run):
    """Runs one road; returns (ok, seconds, notes, detail, race, programs): race is True when a
    program of the road died of Qt's frame callback race, proven by its stack, and of nothing
    else; programs are the road's, ended."""
    ctx = Context(d, road)
    t0 = time.monotonic()
    try:
        run(ctx)
        ok, detail = True, ""
    except Exception as e:
        ok = False
        detail = f"{type(e).__name__}: {e}"
        if not isinstance(e, AssertionError):
            detail += "\n" + traceback.format_exc()
        if SHOTS:
            try:
                ctx.shot("failed")
            except Exception:
                pass
    finally:
        ctx.close()
    deaths = [p.death() for p in ctx.programs if p.death() is not None]
    for death in deaths:
        # A program may die after the road's last look at it: never a pass.
        ok = False
        detail += f"\n  the program died: {death}"
    if not ok:
        for p in ctx.programs:
            errors = [line for line in p.errors() if line.strip()]
            if errors:
                detail += "\n  program's standard error:\n    " + "\n    ".join(errors[-10:])
    race = bool(deaths) and all(death.qt_race for death in deaths)
    return ok, time.monotonic() - t0, ctx.notes, detail.strip(), race, ctx.programs


def run_desktop(name, roads, ws, platform):
    """Runs the roads on one desktop; returns (road, ok, seconds, notes, detail) for each."""
    d = DESKTOPS[name](ws, platform)
    results = []
    started = time.monotonic()
    try:
        d.start()
    except Exception as e:
        d.stop()
        detail = f"{name} did not start: {type(e).__name__}: {e}"
        return [(road, False, time.monotonic() - started, [], detail) for road, _ in roads]
    try:
        for road, run in roads:
            if road in NEEDS and not getattr(d, NEEDS[road]):
                continue
            ok, took, notes, detail, race, _ = run_road(d, road, run)
            if race:
                first = f"{RACE_NOTE}, its stack the race's; the road ran once more. " + \
                    "\n       ".join(line for line in detail.splitlines()
                                     if "the program died" in line or "Assertion" in line)
                ok, took, notes, detail, race, _ = run_road(d, road, run)
                notes = [first] + notes
            results.append((road, ok, took, notes, detail))
    finally:
        d.stop()
    return results


def report(desktop, results):
    """Prints the results; returns (passed, failed, roads that ran once more for the race)."""
    passed = failed = reruns = 0
    for road, ok, took, notes, detail in results:
        reruns += any(n.startswith(RACE_NOTE) for n in notes)
        print(f"{'PASS' if ok else 'FAIL'} [{desktop}] {road} ({took:.1f} s)", flush=True)
        for n in notes:
            print(f"     {n}", flush=True)
        if not ok:
            print("     " + detail.replace("\n", "\n     "), flush=True)
        passed += ok
        failed += not ok
    return passed, failed, reruns


def main():
    global SHOTS
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("program", nargs="?",
                    default=os.path.join(HERE, "..", "..", "build", "quillendor"))
    ap.add_argument("--desktop", action="append", default=[],
                    help=f"one of {', '.join(DESKTOPS)}, or no-display (repeatable)")
    ap.add_argument("--road", action="append", default=[], help="run only these roads")
    ap.add_argument("--platform", choices=["xcb", "wayland"],
                    help="the platform a user chose (QT_QPA_PLATFORM), where the desktop has it")
    ap.add_argument("--shots", metavar="DIR", help="keep screenshots here")
    ap.add_argument("--jobs", type=int, default=int(os.environ.get("QUILL_DESKTOP_JOBS", "3")))
    ap.add_argument("--serial", action="store_true", help=argparse.SUPPRESS)
    ap.add_argument("--keep", action="store_true",
                    help="keep the logs of compositors and programs (the folder is printed)")
    ap.add_argument("--list", action="store_true", help="list desktops and roads")
    args = ap.parse_args()
    if args.list:
        print("desktops:", " ".join(list(DESKTOPS) + ["no-display"]))
        print("roads:", " ".join(r for r, _ in ROADS))
        return 0
    if args.shots:
        SHOTS = os.path.abspath(args.shots)
        os.makedirs(SHOTS, exist_ok=True)
    program = os.path.abspath(args.program)
    if not os.access(program, os.X_OK):
        print(f"no program at {program}")
        print("0 passed, 1 failed")
        return 1
    chosen = args.desktop or list(DESKTOPS) + ["no-display"]
    if not args.desktop and not args.platform and sanitized(args.program):
        # Under AddressSanitizer the Qt race below (RACE_NOTE) ends a road on native
        # Wayland often enough to fail the same road twice; that pass is there for our memory
        # faults, so it keeps to the desktops where the program runs on X11. The release build
        # runs them all.
        chosen = [n for n in chosen if n not in NATIVE_WAYLAND]
        print(f"a sanitizer build: left out {', '.join(NATIVE_WAYLAND)}, where the program "
              f"runs on Wayland", flush=True)
    unknown = [n for n in chosen if n not in DESKTOPS and n != "no-display"]
    roads = [(r, f) for r, f in ROADS if not args.road or r in args.road]
    if unknown or not roads:
        print(f"unknown desktop {unknown} or no road in {args.road}; --list shows them")
        print("0 passed, 1 failed")
        return 1

    account = desktops.desktop_account()
    desktops.ensure_x11_socket_dir()
    passed = failed = reruns = 0
    if args.serial or len(chosen) == 1:
        ws = desktops.Workspace(program, account)
        try:
            for name in chosen:
                results = no_display_cases(ws) if name == "no-display" else \
                    run_desktop(name, roads, ws, args.platform)
                p, f, r = report(name, results)
                passed += p
                failed += f
                reruns += r
        finally:
            if args.keep:
                print(f"     logs kept in {ws.root}", flush=True)
            else:
                ws.remove()
    else:
        # One process per desktop, a few at a time; each prints its own lines and summary.
        waiting = list(chosen)
        running = []
        while waiting or running:
            while waiting and len(running) < max(1, args.jobs):
                name = waiting.pop(0)
                cmd = [sys.executable, os.path.abspath(__file__), program, "--desktop", name,
                       "--serial"] + sum((["--road", r] for r in args.road), []) \
                    + (["--platform", args.platform] if args.platform else []) \
                    + (["--shots", SHOTS] if SHOTS else []) + (["--keep"] if args.keep else [])
                out = tempfile.TemporaryFile("w+")
                running.append((subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT,
                                                 text=True), out))
            time.sleep(0.1)
            for child, out in [c for c in running if c[0].poll() is not None]:
                running.remove((child, out))
                out.seek(0)
                # Its count of roads that ran once more goes into the one printed at the end.
                lines = []
                for line in out.read().splitlines():
                    counted = RACE_COUNT.fullmatch(line)
                    if counted:
                        reruns += int(counted.group(1))
                    else:
                        lines.append(line)
                more_passed, more_failed = report_child(child.returncode, "\n".join(lines),
                                                        "a desktop run")
                out.close()
                passed += more_passed
                failed += more_failed
    print(race_count(reruns), flush=True)
    print(f"{passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
