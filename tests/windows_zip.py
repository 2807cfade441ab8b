#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The Windows download, made from the built program as `./dev.sh package` makes it: exactly
Quillendor.exe, LICENSE and README.txt at the top of the zip, the program and the licence as they
are, the read-me in Windows line ends with its version filled in, every entry dated
SOURCE_DATE_EPOCH, a SHA256SUMS that checks, and the same zip again from the same program at
another time, in another time zone and under another umask.

    windows_zip.py QUILLENDOR_EXE SOURCE_DIR VERSION SOURCE_DATE_EPOCH
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import zipfile

exe, source, version, epoch = sys.argv[1:5]
name = f"quillendor-{version}-windows-x64.zip"
problems = []


def make(out, env=None, umask=None):
    subprocess.run([sys.executable, os.path.join(source, "packaging", "windows", "make_zip.py"),
                    exe, source, version, out, epoch], check=True, stdout=subprocess.DEVNULL, env=env,
                   preexec_fn=(lambda: os.umask(umask)) if umask is not None else None)
    return os.path.join(out, name)


with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
    path = make(first)
    with zipfile.ZipFile(path) as z:
        names = sorted(z.namelist())
        if names != ["LICENSE", "Quillendor.exe", "README.txt"]:
            problems.append(f"the zip holds {names}")
        else:
            with open(exe, "rb") as f:
                if z.read("Quillendor.exe") != f.read():
                    problems.append("Quillendor.exe in the zip is not the built program")
            with open(os.path.join(source, "LICENSE"), "rb") as f:
                if z.read("LICENSE") != f.read():
                    problems.append("LICENSE in the zip is not the repository's")
            readme = z.read("README.txt")
            lines = readme.split(b"\r\n")
            if lines[-1] != b"" or any(b"\n" in line or b"\r" in line for line in lines):
                problems.append("README.txt has a line that does not end in CR LF")
            text = readme.decode("ascii", "replace")
            if f"Quillendor {version} for Windows" not in text or "@" in text:
                problems.append("README.txt does not name the version (or holds a placeholder)")
            for needed in ("Quillendor.exe", "SmartScreen", "Cancel", "OK"):
                if needed not in text:
                    problems.append(f"README.txt does not mention {needed}")
        # Two-second steps, in UTC.
        want_stamp = time.gmtime(int(epoch) // 2 * 2)[:6]
        for info in z.infolist():
            if info.date_time != want_stamp:
                problems.append(f"{info.filename} is dated {info.date_time}, not {want_stamp}")
    with open(os.path.join(first, "SHA256SUMS")) as f:
        sums = f.read()
    with open(path, "rb") as f:
        want = f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n"
    if sums != want:
        problems.append(f"SHA256SUMS is {sums!r}, the zip's sum line is {want!r}")
    checked = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=first, capture_output=True,
                             text=True)
    if checked.returncode != 0:
        problems.append(f"sha256sum -c: {checked.stdout}{checked.stderr}")
    time.sleep(2.1)  # a time stamp taken from the clock would differ now
    elsewhere = dict(os.environ, TZ="Pacific/Kiritimati")
    with open(path, "rb") as a, open(make(second, elsewhere, 0o077), "rb") as b:
        if a.read() != b.read():
            problems.append("the same program made a different zip")
    leftovers = sorted(set(os.listdir(first)) - {name, "SHA256SUMS"})
    if leftovers:
        problems.append(f"left beside the zip: {leftovers}")

for p in problems:
    print("FAIL", p)
print("the Windows zip: " + ("ok" if not problems else f"{len(problems)} problems"))
sys.exit(1 if problems else 0)
