#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Builds what is published a second time from a copy of the sources and compares the bytes: the
Windows program and its zip ("windows"), or the Debian package ("deb"). The second build runs in
folders of other names and lengths, later, in another time zone and locale, under another umask,
with the first build's SOURCE_DATE_EPOCH; only the published targets are built. When the files
differ, says how (PE header fields, zip entries, the package's ar and tar members). Also looks
in every published file, and every file inside them, for the folders of both builds.

    reproducible.py windows|deb SOURCE_DIR FIRST_BUILD_DIR [SOURCE_DATE_EPOCH]

Makes the first build's files with their own target (`zip` or `package`) in FIRST_BUILD_DIR. The
time stamp is the one that build took (QUILLENDOR_SOURCE_DATE_EPOCH in its cache) unless given.
"""
import difflib
import glob
import gzip
import hashlib
import io
import os
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

if len(sys.argv) not in (4, 5) or sys.argv[1] not in ("windows", "deb"):
    sys.exit(__doc__)
kind, source, first = sys.argv[1:4]
source, first = os.path.realpath(source), os.path.realpath(first)
PUBLISHED = {"windows": ("zip", ["Quillendor.exe", "quillendor-*-windows-x64.zip"]),
             "deb": ("package", ["quillendor_*.deb"])}
target, patterns = PUBLISHED[kind]
# What the second build takes over from the first build's cache: what changes the bytes.
CARRIED = ["CMAKE_BUILD_TYPE", "CMAKE_CXX_FLAGS", "CMAKE_EXE_LINKER_FLAGS", "QUILLENDOR_BACKEND",
           "QUILLENDOR_PACKAGE_MAINTAINER"]
problems = []


def run(command, **kwargs):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          **kwargs)
    if done.returncode != 0:
        print(done.stdout[-4000:])
        sys.exit(f"FAIL {' '.join(command)}: exit status {done.returncode}")
    return done.stdout


def cache(build):
    values = {}
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            name, sep, value = line.rstrip("\n").partition("=")
            if sep and not line.startswith(("#", "//")):
                values[name.split(":")[0]] = value
    return values


def published(build):
    files = []
    for pattern in patterns:
        found = glob.glob(os.path.join(build, pattern))
        if len(found) != 1:
            sys.exit(f"FAIL expected one {pattern} in {build}, found {len(found)}")
        files.append(found[0])
    return files


def copy_sources(to):
    """The files of the source tree that git knows or would add, else all but build folders."""
    listed = subprocess.run(["git", "-C", source, "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], capture_output=True)
    if listed.returncode == 0:
        names = [n for n in listed.stdout.decode().split("\0") if n]
    else:
        names = []
        for top, dirs, files in os.walk(source):
            dirs[:] = [d for d in dirs if top != source or not (d.startswith("build") or d == ".git")]
            names += [os.path.relpath(os.path.join(top, f), source) for f in files]
    for name in names:
        if os.path.lexists(os.path.join(source, name)):
            os.makedirs(os.path.dirname(os.path.join(to, name)), exist_ok=True)
            shutil.copy2(os.path.join(source, name), os.path.join(to, name), follow_symlinks=False)


# --- What a file is made of, line by line, to say where two files differ -------------------------

def sha(data):
    return hashlib.sha256(data).hexdigest()[:16]


def describe_pe(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    lines = [f"PE TimeDateStamp {struct.unpack_from('<I', data, pe + 8)[0]:#x}",
             f"PE CheckSum {struct.unpack_from('<I', data, pe + 24 + 64)[0]:#x}"]
    table = pe + 24 + optional_size
    for i in range(sections):
        name, _, _, size, at = struct.unpack_from("<8sIIII", data, table + 40 * i)
        lines.append(f"section {name.rstrip(bytes(1)).decode()} {size} bytes {sha(data[at:at + size])}")
    return lines


def describe_tar(label, data):
    lines = [f"{label} gzip header time {struct.unpack_from('<I', data, 4)[0]}"]
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        for m in tar.getmembers():
            content = tar.extractfile(m).read() if m.isfile() else b""
            lines.append(f"{label} {m.name} mode {m.mode:o} {m.uname}:{m.gname} {m.uid}:{m.gid} "
                         f"time {m.mtime} {m.size} bytes {sha(content)}")
            if m.isfile() and content.startswith(b"\x7fELF"):
                lines += [f"{label} {m.name}: {line}" for line in describe_elf(content)]
    return lines


def describe_elf(data):
    """Sections of an ELF file with their digests, where readelf is there."""
    with tempfile.NamedTemporaryFile() as f:
        f.write(data)
        f.flush()
        listed = subprocess.run(["readelf", "-S", "-W", f.name], capture_output=True, text=True)
    lines = []
    for line in listed.stdout.splitlines():
        fields = line.replace("[ ", "[").split()
        if len(fields) > 6 and fields[0].startswith("[") and fields[2] != "NOBITS":
            try:
                at, size = int(fields[4], 16), int(fields[5], 16)
            except ValueError:
                continue
            lines.append(f"section {fields[1]} {size} bytes {sha(data[at:at + size])}")
    return lines


def ar_members(data):
    at, members = 8, []
    while at + 60 <= len(data):
        header = data[at:at + 60]
        size = int(header[48:58])
        members.append((header, data[at + 60:at + 60 + size]))
        at += 60 + size + size % 2
    return members


def describe(path):
    with open(path, "rb") as f:
        data = f.read()
    lines = [f"{len(data)} bytes"]
    if data[:2] == b"MZ":
        lines += describe_pe(data)
    elif data[:4] == b"PK\x03\x04":
        with zipfile.ZipFile(path) as z:
            for i in z.infolist():
                lines.append(f"{i.filename} {i.date_time} attributes {i.external_attr:#x} "
                             f"system {i.create_system} {i.file_size} bytes crc {i.CRC:#x}")
                if z.read(i.filename)[:2] == b"MZ":
                    lines += [f"{i.filename}: {line}" for line in describe_pe(z.read(i.filename))]
    elif data.startswith(b"!<arch>\n"):
        for header, content in ar_members(data):
            name = header[:16].decode().strip()
            lines.append(f"ar {name} time {header[16:28].decode().strip()} owner "
                         f"{header[28:34].decode().strip()}:{header[34:40].decode().strip()} "
                         f"mode {header[40:48].decode().strip()} {len(content)} bytes {sha(content)}")
            if ".tar" in name:
                lines += describe_tar(name, content)
    return lines


def contents(path):
    """(name, bytes) of the file and of every file inside it, unpacked."""
    with open(path, "rb") as f:
        data = f.read()
    yield os.path.basename(path), data
    if data[:4] == b"PK\x03\x04":
        with zipfile.ZipFile(path) as z:
            for name in z.namelist():
                yield name, z.read(name)
    elif data.startswith(b"!<arch>\n"):
        for header, member in ar_members(data):
            if b".tar" in header[:16]:
                with tarfile.open(fileobj=io.BytesIO(member)) as tar:
                    for m in tar.getmembers():
                        if m.isfile():
                            inner = tar.extractfile(m).read()
                            yield m.name, inner
                            if m.name.endswith(".gz"):
                                yield m.name[:-3], gzip.decompress(inner)


# --- The two builds -------------------------------------------------------------------------------

started = time.monotonic()
print(f"== the first build: {first} (target {target})")
run(["cmake", "--build", first, "--parallel", "2", "--target", target])
firsts = published(first)
first_cache = cache(first)
epoch = sys.argv[4] if len(sys.argv) == 5 else first_cache.get("QUILLENDOR_SOURCE_DATE_EPOCH")
if not epoch:
    sys.exit(f"FAIL no QUILLENDOR_SOURCE_DATE_EPOCH in {first}/CMakeCache.txt: give the time stamp")

work = tempfile.mkdtemp(prefix="quillendor-reproducible-")
try:
    # Other names, of other lengths, and the build folder outside the sources this time.
    copy = os.path.join(work, "a-second-copy-of-the-sources")
    second = os.path.join(work, "b2")
    copy_sources(copy)
    settings = ["-G", first_cache.get("CMAKE_GENERATOR", "Ninja"), "-DBUILD_TESTING=OFF"]
    settings += [f"-D{name}={first_cache[name]}" for name in CARRIED if name in first_cache]
    toolchain = first_cache.get("CMAKE_TOOLCHAIN_FILE", "")
    if toolchain:
        if toolchain.startswith(source + os.sep):
            toolchain = os.path.join(copy, os.path.relpath(toolchain, source))
        settings.append(f"-DCMAKE_TOOLCHAIN_FILE={toolchain}")
    env = dict(os.environ, SOURCE_DATE_EPOCH=epoch, TZ="Pacific/Kiritimati", LC_ALL="C",
               LANG="C")
    env.pop("CMAKE_BUILD_PARALLEL_LEVEL", None)
    print(f"== the second build: {second} from {copy}, umask 077, TZ={env['TZ']}, "
          f"SOURCE_DATE_EPOCH={epoch}")
    umask = lambda: os.umask(0o077)  # noqa: E731
    run(["cmake", "-S", copy, "-B", second] + settings, env=env, preexec_fn=umask)
    run(["cmake", "--build", second, "--parallel", "2", "--target", target], env=env,
        preexec_fn=umask)
    seconds = published(second)
    print(f"   built in {time.monotonic() - started:.0f} s")

    for a, b in zip(firsts, seconds):
        with open(a, "rb") as f:
            first_bytes = f.read()
        with open(b, "rb") as f:
            second_bytes = f.read()
        name = os.path.basename(a)
        print(f"   {sha(first_bytes)} {sha(second_bytes)}  {name}")
        if first_bytes != second_bytes:
            problems.append(f"{name} differs between the two builds")
            for line in difflib.unified_diff(describe(a), describe(b), "first build", "second build",
                                             n=0, lineterm=""):
                print("      " + line)
        folders = {p.encode() for p in (source, first, copy, second, work)}
        for path in sorted({a, b}):
            for inner, data in contents(path):
                for folder in folders:
                    if folder in data:
                        problems.append(f"{path}: {inner} holds the build's folder {folder.decode()}")
finally:
    shutil.rmtree(work, ignore_errors=True)

for p in problems:
    print("FAIL", p)
print(f"reproducible {kind}: " + ("ok" if not problems else f"{len(problems)} problems"))
sys.exit(1 if problems else 0)
