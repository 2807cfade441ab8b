#!/usr/bin/python3
"""Proof of the program's promises: over every road through it, the real program, traced with strace
on a private Xvfb, opens no internet socket, writes no file, starts no other program and reads no
settings of its own.

The trace runs in a session like a user's: with a runtime directory and a session bus address, so
that what the toolkit would do without them (create /tmp/runtime-<user>, autolaunch a bus) does not
count against the program.

    no_side_effects.py PROGRAM [--quick]   (--quick leaves out the one-minute timed road)
"""
import os
import re
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
    window(s, "Quillendor")
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
    window(s, "Quillendor", timeout=75)
    s.wait_gone(screen)
    s.key("Return", settle=0.2)


ROADS = [("cancel", road_cancel), ("none", road_none), ("delay", road_delay),
         ("typo", road_typo)] + ([] if QUICK else [("timer", road_timer)])

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


def main():
    failures = passes = 0
    with Session() as s:
        env = s.env()
        env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
        # LeakSanitizer cannot work under a tracer; a sanitizer build's leaks are checked by the
        # other tests.
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        for name, road in ROADS:
            log = os.path.join(s.tmp, f"{name}.strace")
            proc = subprocess.Popen(["strace", "-f", "-qq", "-o", log,
                                     "-e", "trace=%file,%network,%process,%desc", PROGRAM],
                                    env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                road(s)
                status = proc.wait(timeout=20)
            except Exception as error:  # noqa: BLE001 - report any driving failure
                proc.kill()
                proc.wait()
                print(f"FAIL {name}: could not drive the program: {error}")
                failures += 1
                continue
            with open(log) as f:
                trace = f.read()
            found = problems_in(trace)
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
                      f"written, no other program, no settings of its own")
    print(f"{passes} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
