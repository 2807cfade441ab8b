#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The download for Windows: quillendor-VERSION-windows-x64.zip with Quillendor.exe, LICENSE and a
README.txt with Windows line ends, and SHA256SUMS beside it. The entries come in a fixed order,
each with a fixed mode and the time stamp SOURCE_DATE_EPOCH (seconds since 1970, in UTC: a zip
keeps no time zone), so the same program and sources give the same zip, byte for byte, whatever
the clock, the time zone or the umask of the machine that makes it.

    make_zip.py QUILLENDOR_EXE SOURCE_DIR VERSION OUTPUT_DIR SOURCE_DATE_EPOCH
"""
import hashlib
import os
import sys
import time
import zipfile

exe, source, version, out, epoch = sys.argv[1:6]
name = f"quillendor-{version}-windows-x64.zip"
# A zip's dates run from 1980 to 2107, in steps of two seconds.
STAMP = time.gmtime(max(int(epoch), 315532800))[:6]


def entry(zf, arcname, data, mode):
    info = zipfile.ZipInfo(arcname, STAMP)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the mode below counts
    info.external_attr = (0o100000 | mode) << 16
    zf.writestr(info, data)


with open(exe, "rb") as f:
    program = f.read()
with open(os.path.join(source, "LICENSE"), "rb") as f:
    licence = f.read()
with open(os.path.join(source, "packaging", "windows", "README.txt"), encoding="utf-8") as f:
    readme = f.read().replace("@PROJECT_VERSION@", version).replace("\n", "\r\n")

path = os.path.join(out, name)
with zipfile.ZipFile(path + ".part", "w") as zf:
    entry(zf, "Quillendor.exe", program, 0o755)
    entry(zf, "LICENSE", licence, 0o644)
    entry(zf, "README.txt", readme.encode("utf-8"), 0o644)
os.replace(path + ".part", path)
with open(path, "rb") as f:
    digest = hashlib.sha256(f.read()).hexdigest()
with open(os.path.join(out, "SHA256SUMS"), "w") as f:
    f.write(f"{digest}  {name}\n")
print(f"Made {path} and SHA256SUMS")
