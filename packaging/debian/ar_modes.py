#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Gives every member of a Debian package's ar archive the mode dpkg-deb gives it, 100644.

CPack writes each member (debian-binary, control.tar.gz, data.tar.gz) with the mode of the file it
made for it, which the umask of the user who builds decides; with this, the same sources make
the same package under any umask. Changes nothing else.

    ar_modes.py PACKAGE.deb
"""
import sys

MODE = b"100644  "  # the 8-byte octal field of an ar member header


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if not data.startswith(b"!<arch>\n"):
        sys.exit(f"{path}: not an ar archive")
    at = 8
    members = []
    while at < len(data):
        header = data[at:at + 60]
        if len(header) != 60 or header[58:60] != b"`\n":
            sys.exit(f"{path}: no ar member header at byte {at}")
        members.append(header[0:16].decode("ascii").rstrip())
        size = int(header[48:58].decode("ascii"))
        data[at + 40:at + 48] = MODE
        at += 60 + size + size % 2
    if not members or members[0].rstrip("/") != "debian-binary":
        sys.exit(f"{path}: the first member is not debian-binary")
    with open(path, "r+b") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: ar_modes.py PACKAGE.deb")
    main(sys.argv[1])
