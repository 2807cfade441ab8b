#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""What a screen reader is told about the program's windows, read over AT-SPI as a screen reader
reads it: the setup dialog at start, the shutdown screen after None and Start, and the reveal dialog
after a click on that screen. Every window is checked whole: its role and name, and the role, name
and description of each of its controls. Once in English, once in German, as the program's own
compiled catalog (locale/ beside it) gives every name.

    dbus-run-session -- accessibility.py PROGRAM

Runs on a private Xvfb with no window manager, with the accessibility bus started here on the D-Bus
session it is run in (needs at-spi2-core, python3-pyatspi, python3-xlib). The program is started as
it ships, with Qt's own switch for its accessibility (QT_LINUX_ACCESSIBILITY_ALWAYS_ON) in place of
a running screen reader. The last line is always "N passed, M failed".
"""
import gettext
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from system_python import ensure_xlib  # noqa: E402

ensure_xlib(__file__, also=("pyatspi",))
from cases import NONE, REVEAL_OK, START, Context, wait_drawn  # noqa: E402
from heard import REVEAL_DIALOG, SETUP_DIALOG, SHUTDOWN_SCREEN, in_language  # noqa: E402
from xsession import Session, SessionError  # noqa: E402

PROGRAM = os.path.abspath(sys.argv[1])
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# The languages the roads are heard in: the settings the program runs with, and its catalog.
LANGUAGES = {"English": ({"LANG": "C.UTF-8"}, None),
             "German": ({"LANG": "C.UTF-8", "LANGUAGE": "de"}, "de")}


def catalog(language):
    if language is None:
        return None
    path = os.path.join(os.path.dirname(PROGRAM), "locale", language, "LC_MESSAGES",
                        "quillendor.mo")
    with open(path, "rb") as f:
        return gettext.GNUTranslations(f)

def start_bus(session):
    """The accessibility bus of this D-Bus session, announced on the session's display too."""
    launcher = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], env=session.env(),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
    from gi.repository import Gio, GLib
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    deadline = time.monotonic() + 10
    while True:
        try:
            bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                          GLib.VariantType("(s)"), Gio.DBusCallFlags.NO_AUTO_START, 1000, None)
            return launcher
        except GLib.Error:
            if launcher.poll() is not None or time.monotonic() > deadline:
                raise SessionError("the accessibility bus did not start")
            time.sleep(0.05)


def heard(pyatspi, pid, name):
    """The program's showing top-level window of that name as (role, name, [controls]), or None."""
    app = next((a for a in pyatspi.Registry.getDesktop(0)
                if a is not None and a.get_process_id() == pid), None)
    if app is None:
        return None
    app.clear_cache()
    for window in app:
        if window is not None and window.name == name \
                and window.getState().contains(pyatspi.STATE_SHOWING):
            return (window.getRoleName(), window.name,
                    [(c.getRoleName(), c.name, c.description) for c in window if c is not None])
    return None


def expect(pyatspi, pid, wanted, timeout=10.0):
    """Waits until the window reads as `wanted`; fails with what differs."""
    role, name, controls = wanted
    deadline = time.monotonic() + timeout
    while True:
        got = heard(pyatspi, pid, name)
        if got is not None and got[0] == role and sorted(got[2]) == sorted(controls):
            return
        if time.monotonic() > deadline:
            break
        time.sleep(0.1)
    if got is None:
        raise AssertionError(f"no showing window named {name!r} over AT-SPI")
    faults = []
    if got[0] != role:
        faults.append(f"the window {name!r} reads as a {got[0]!r}, not a {role!r}")
    faults += [f"missing {c}" for c in sorted(set(controls) - set(got[2]))]
    faults += [f"unexpected {c}" for c in sorted(set(got[2]) - set(controls))]
    raise AssertionError("\n".join(faults))


def main():
    import pyatspi
    passed = failed = 0

    def step(what, act):
        nonlocal passed, failed
        try:
            act()
            print(f"PASS {what}", flush=True)
            passed += 1
        except (AssertionError, SessionError) as e:
            print(f"FAIL {what}\n     " + str(e).replace("\n", "\n     "), flush=True)
            failed += 1

    session = Session(wm=False)
    launcher = ctx = None
    try:
        session.start()
        # Our own AT-SPI client reads the bus of this display, not one of a desktop we run under.
        os.environ["DISPLAY"] = session.name
        launcher = start_bus(session)
        plain_env = session.env
        session.env = lambda: dict(plain_env(), QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        for language, (settings, code) in LANGUAGES.items():
            ctx = Context(session, PROGRAM, print, env=settings)
            said = catalog(code)
            program = ctx.start()
            s = session

            dialog = program.window("Quillendor", timeout=15)
            wait_drawn(ctx, dialog)

            step(f"the setup dialog in {language}",
                 lambda: expect(pyatspi, program.pid, in_language(SETUP_DIALOG, said)))
            s.click(dialog, *NONE)
            s.click(dialog, *START)
            cover = program.window("Form1", timeout=5)
            step(f"the shutdown screen in {language}",
                 lambda: expect(pyatspi, program.pid, in_language(SHUTDOWN_SCREEN, said)))
            s.click_root(s.width - 40, s.height - 40)
            s.wait_gone(cover, 3)
            reveal = program.window("Quillendor", timeout=5)
            step(f"the reveal dialog in {language}",
                 lambda: expect(pyatspi, program.pid, in_language(REVEAL_DIALOG, said)))
            s.click(reveal, *REVEAL_OK)
            code = program.wait_exit(5)
            if code != 0:
                print(f"FAIL the program ended with {code} after OK", flush=True)
                failed += 1
            ctx.close()
    except Exception as e:  # noqa: BLE001 - the X session, the buses or the program gave out
        print(f"FAIL could not drive the program: {type(e).__name__}: {e}", flush=True)
        failed += 1
    finally:
        if ctx is not None:
            for program in ctx.programs:
                out = program.output().strip()
                if failed and out:
                    print("     program output:\n       "
                          + "\n       ".join(out.splitlines()[-15:]), flush=True)
            ctx.close()
        if launcher is not None and launcher.poll() is None:
            launcher.terminate()
            try:
                launcher.wait(5)
            except subprocess.TimeoutExpired:
                launcher.kill()
                launcher.wait()
        session.stop()
    print(f"{passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
