#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Proof of the program's promises: over every road through it, the real program, traced with strace
on a private Xvfb, opens no internet socket, writes no file, starts no other program, reads no
settings of its own and leaves no process running after it has ended.

The trace runs in a session like a user's: with a runtime directory and a session bus address, so
that what the toolkit would do without them (create /tmp/runtime-<user>, autolaunch a bus) does not
count against the program. One road runs again with no session bus in the environment, as on a
plain X session, where libdbus would start a bus daemon (dbus-launch, from dbus-x11) that outlives
the program: that road needs dbus-launch installed, or it would prove nothing.

A process counts as the program's when its environment names the session's private display and it
appeared after the road started: a daemon leaves the program's process group and session, but keeps
its environment; other tests running at the same time have other displays.

    no_side_effects.py PROGRAM [--quick]   (--quick leaves out the one-minute timed road)
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from system_python import ensure_xlib  # noqa: E402

ensure_xlib(__file__)
from xsession import Session, SessionError  # noqa: E402

PROGRAM = os.path.abspath(sys.argv[1])
QUICK = "--quick" in sys.argv

# Points in the setup dialog and the reveal dialog, in pixels of their client areas.
CANCEL, START, NONE, TIMER, DELAY = (60, 278), (332, 278), (16, 224), (210, 184), (36, 185)
OK = (330, 219)


def window(s, title, timeout=20):
    deadline = time.monotonic() + timeout
    while not s.find_any(title):
        if time.monotonic() > deadline:
            raise SessionError(f"no visible window {title!r}")
        time.sleep(0.02)
    return s.find_any(title)[-1]


def type_delay(s, dialog, text):
    s.click(dialog, *DELAY)
    s.key("ctrl+a")
    s.type_text(text)


def road_cancel(s):
    s.click(window(s, "Quillendor"), *CANCEL)


def road_none(s):
    dialog = window(s, "Quillendor")
    s.click(dialog, *NONE)
    s.click(dialog, *START)
    screen = window(s, "Form1")
    s.click(screen, 500, 500)
    s.wait_gone(screen)
    s.click(window(s, "Quillendor"), *OK)


def road_delay(s):
    dialog = window(s, "Quillendor")
    type_delay(s, dialog, "0.5")
    s.click(dialog, *START)
    screen = window(s, "Form1")
    s.click(screen, 300, 300)
    s.wait_gone(screen)
    s.wait_focus(window(s, "Quillendor"))
    s.key("Escape", settle=0.2)


def road_typo(s):
    dialog = window(s, "Quillendor")
    type_delay(s, dialog, "abc")
    s.click(dialog, *START, settle=0.5)
    s.key("Return", settle=0.3)  # the message box
    s.click(window(s, "Quillendor"), *CANCEL)


def road_timer(s):
    dialog = window(s, "Quillendor")
    s.click(dialog, *TIMER)
    s.click(dialog, *START)
    screen = window(s, "Form3")
    s.click(screen, 400, 400)
    reveal = window(s, "Quillendor", timeout=75)
    s.wait_gone(screen)
    s.wait_focus(reveal)
    s.key("Return", settle=0.2)


# name, road, whether the environment names a session bus
ROADS = [("cancel", road_cancel, True), ("none", road_none, True), ("delay", road_delay, True),
         ("typo", road_typo, True), ("none, no session bus", road_none, False)] + \
        ([] if QUICK else [("timer", road_timer, True)])

WRITE_FLAGS = re.compile(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND")
CHANGES = re.compile(r"^\d+\s+(mkdir|mkdirat|rmdir|unlink|unlinkat|rename|renameat2?|creat|truncate|"
                     r"ftruncate|link|linkat|symlink|symlinkat|chmod|fchmodat|chown|utimensat)\(")
ALLOWED_WRITE_PATHS = ("/dev/null", "/dev/tty", "/dev/dri/", "/dev/shm/")


def problems_in(trace):
    found = []
    execs = 0
    for line in trace.splitlines():
        if re.search(r"execve\(", line) and "= 0" in line:
            execs += 1
            if execs > 1:
                found.append("started another program: " + line)
        if re.search(r"socket\((AF_INET|AF_INET6|AF_PACKET)", line) and not re.search(r"= -1", line):
            found.append("internet socket: " + line)
        if re.search(r"connect\(.*sa_family=AF_INET", line):
            found.append("internet connection: " + line)
        m = re.search(r'open(?:at)?\((?:AT_FDCWD, )?"([^"]*)", ([A-Z_|]+)', line)
        if m and WRITE_FLAGS.search(m.group(2)) and "= -1" not in line:
            if not m.group(1).startswith(ALLOWED_WRITE_PATHS):
                found.append("file opened for writing: " + line)
        if CHANGES.search(line) and "= -1" not in line:
            found.append("file system changed: " + line)
        if m and re.search(r"quillendor|brindlewick", m.group(1), re.I) and \
                re.search(r"/\.config/|/\.local/|/etc/xdg/|\.conf|\.ini", m.group(1)):
            found.append("settings of its own read: " + line)
    return found


X11_CONNECT = re.compile(r'connect\((\d+), \{sa_family=AF_UNIX, sun_path=@?"[^"]*\.X11-unix/X')


def display_connection_closed(trace):
    """The program ends its process without tearing the toolkit down, so the connection to the
    display is still open when it ends (Qt 6.4's Wayland teardown can deadlock, and the teardown
    is the same road on X11). The close of that connection, if the trace has one."""
    fd = None
    for line in trace.splitlines():
        m = X11_CONNECT.search(line)
        if m and fd is None:
            fd = m.group(1)
        elif fd is not None and re.match(rf"^\d+\s+(close|shutdown)\({fd}[,)]", line):
            return line
    return None


def display_processes(display):
    """The processes whose environment names `display`, as {(pid, start time): command line}."""
    found = {}
    needle = b"DISPLAY=" + display.encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if needle not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/stat", "rb") as f:
                start = f.read().rsplit(b")", 1)[1].split()[19]
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode("utf-8", "replace").strip()
        except (OSError, IndexError):
            continue
        found[(int(entry), start)] = command
    return found


def wait_for_program(tracer, timeout):
    """Waits until the traced program has ended. strace itself stays while anything the program
    started runs on, so the program's end is when strace has no child left."""
    children = f"/proc/{tracer.pid}/task/{tracer.pid}/children"
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if tracer.poll() is not None:
            return True
        try:
            with open(children) as f:
                if not f.read().split():
                    return True
        except OSError:
            pass
        time.sleep(0.02)
    return False


def left_behind(display, before, tracer):
    """What the road started and what still runs a moment after the program ended; all of it is
    ended here, so that a failing run leaves nothing either."""
    found = {}
    deadline = time.monotonic() + 1.0
    while True:
        found = {key: command for key, command in display_processes(display).items()
                 if key not in before and key[0] != tracer.pid}
        if not found or time.monotonic() > deadline:
            break
        time.sleep(0.05)
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid, _ in found:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        if sig == signal.SIGTERM:
            time.sleep(0.5)
    return [f"{pid} {command}" for (pid, _), command in found.items()]


def main():
    failures = passes = 0
    with Session() as s:
        for name, road, bus in ROADS:
            env = s.env()
            if bus:
                env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
            else:
                env.pop("DBUS_SESSION_BUS_ADDRESS", None)
                # dbus-launch writes the bus's address under ~/.dbus: a failing run writes there.
                env["HOME"] = os.path.join(s.tmp, "home")
                os.makedirs(env["HOME"], exist_ok=True)
                if not shutil.which("dbus-launch", path=env.get("PATH")):
                    print(f"FAIL {name}: dbus-launch (dbus-x11) is not installed, so nothing "
                          f"would start a bus")
                    failures += 1
                    continue
            # LeakSanitizer cannot work under a tracer; a sanitizer build's leaks are checked by
            # the other tests.
            env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
            log = os.path.join(s.tmp, f"{name}.strace".replace(" ", "-").replace(",", ""))
            before = display_processes(s.name)
            proc = subprocess.Popen(["strace", "-f", "-qq", "-o", log,
                                     "-e", "trace=%file,%network,%process,%desc", PROGRAM],
                                    env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                road(s)
                if not wait_for_program(proc, 20):
                    raise SessionError("the program did not end")
            except Exception as error:  # noqa: BLE001 - report any driving failure
                proc.kill()
                proc.wait()
                left_behind(s.name, before, proc)
                print(f"FAIL {name}: could not drive the program: {error}")
                failures += 1
                continue
            stayed = left_behind(s.name, before, proc)
            status = proc.wait(timeout=20)
            with open(log) as f:
                trace = f.read()
            found = problems_in(trace)
            closed = display_connection_closed(trace)
            if closed:
                found.append("the toolkit was torn down at the end: " + closed)
            found += ["still running after the program ended: " + p for p in stayed]
            if status != 0:
                found.append(f"exit status {status}")
            calls = len(trace.splitlines())
            if found:
                failures += 1
                print(f"FAIL {name} ({calls} calls traced):")
                for problem in found[:20]:
                    print("   ", problem)
            else:
                passes += 1
                print(f"ok   {name}: {calls} calls traced, no socket to the internet, nothing "
                      f"written, no other program, no settings of its own, nothing left running, "
                      f"ended with the display still connected")
    print(f"{passes} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
