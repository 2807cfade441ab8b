#!/usr/bin/env python3
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
import tempfile
import time

PROGRAM = os.path.abspath(sys.argv[1])
QUICK = "--quick" in sys.argv


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True).stdout.strip()


def start_xvfb(workdir):
    number_file = os.path.join(workdir, "display")
    with open(number_file, "w") as out:
        # Xvfb picks a free display and writes its number once it accepts connections.
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp"], pass_fds=(out.fileno(),),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.getsize(number_file) > 0:
            break
        time.sleep(0.1)
    with open(number_file) as f:
        return xvfb, ":" + f.read().strip()


def find_window(name, timeout=20):
    deadline = time.time() + timeout
    while time.time() < deadline:
        ids = run("xdotool", "search", "--onlyvisible", "--name", name, check=False).split()
        if ids:
            return ids[-1]
        time.sleep(0.05)
    raise RuntimeError(f"no visible window named {name}")


def click(window, x, y):
    run("xdotool", "mousemove", "--window", window, str(x), str(y), "click", "1")


def key(*keys):
    run("xdotool", "key", *keys)


def wait_gone(name, timeout=20):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if not run("xdotool", "search", "--onlyvisible", "--name", name, check=False):
            return
        time.sleep(0.05)
    raise RuntimeError(f"window {name} did not go")


# Points in the setup dialog and the reveal dialog, in pixels of their client areas.
CANCEL, START, NONE, TIMER, DELAY = (60, 278), (332, 278), (16, 224), (210, 184), (36, 185)
OK = (330, 219)


def road_cancel():
    click(find_window("^Quillendor$"), *CANCEL)


def road_none():
    dialog = find_window("^Quillendor$")
    click(dialog, *NONE)
    click(dialog, *START)
    click(find_window("^Form1$"), 500, 500)
    wait_gone("^Form1$")
    click(find_window("^Quillendor$"), *OK)


def road_delay():
    dialog = find_window("^Quillendor$")
    click(dialog, *DELAY)
    key("ctrl+a")
    run("xdotool", "type", "0.5")
    click(dialog, *START)
    click(find_window("^Form1$"), 300, 300)
    wait_gone("^Form1$")
    find_window("^Quillendor$")
    time.sleep(0.2)
    key("Escape")


def road_typo():
    dialog = find_window("^Quillendor$")
    click(dialog, *DELAY)
    key("ctrl+a")
    run("xdotool", "type", "abc")
    click(dialog, *START)
    time.sleep(0.5)
    key("Return")  # the message box
    time.sleep(0.3)
    click(find_window("^Quillendor$"), *CANCEL)


def road_timer():
    dialog = find_window("^Quillendor$")
    click(dialog, *TIMER)
    click(dialog, *START)
    click(find_window("^Form3$"), 400, 400)
    find_window("^Quillendor$", timeout=75)
    wait_gone("^Form3$", timeout=5)
    time.sleep(0.2)
    key("Return")


ROADS = [("cancel", road_cancel), ("none", road_none), ("delay", road_delay),
         ("typo", road_typo)] + ([] if QUICK else [("timer", road_timer)])

WRITE_FLAGS = re.compile(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND")
CHANGES = re.compile(r"^\d+\s+(mkdir|mkdirat|rmdir|unlink|unlinkat|rename|renameat2?|creat|truncate|"
                     r"ftruncate|link|linkat|symlink|symlinkat|chmod|fchmodat|chown|utimensat)\(")
ALLOWED_WRITE_PATHS = ("/dev/null", "/dev/tty", "/dev/dri/", "/dev/shm/")


def problems_in(trace, home):
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
    with tempfile.TemporaryDirectory() as workdir:
        xvfb, display = start_xvfb(workdir)
        runtime = os.path.join(workdir, "runtime")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, DISPLAY=display, XDG_RUNTIME_DIR=runtime,
                   DBUS_SESSION_BUS_ADDRESS="disabled:")
        env.pop("QT_QPA_PLATFORM", None)
        # LeakSanitizer cannot work under a tracer; a sanitizer build's leaks are checked by the
        # other tests.
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        os.environ["DISPLAY"] = display
        try:
            for name, road in ROADS:
                log = os.path.join(workdir, f"{name}.strace")
                proc = subprocess.Popen(["strace", "-f", "-qq", "-o", log,
                                         "-e", "trace=%file,%network,%process,%desc", PROGRAM],
                                        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    road()
                    status = proc.wait(timeout=20)
                except Exception as error:  # noqa: BLE001 - report any driving failure
                    proc.kill()
                    proc.wait()
                    print(f"FAIL {name}: could not drive the program: {error}")
                    failures += 1
                    continue
                with open(log) as f:
                    trace = f.read()
                found = problems_in(trace, os.path.expanduser("~"))
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
        finally:
            xvfb.terminate()
            xvfb.wait()
    print(f"{passes} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
