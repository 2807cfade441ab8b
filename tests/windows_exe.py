#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks what Quillendor.exe is, without running it: a 64-bit GUI program that imports only DLLs
every Windows has (of ole32 only what starts COM and makes one object), with the registry
functions of the launcher out of its import table (they are looked up by name when first called),
and with its resources: the version strings, the icon, and the application manifest as resource 1
of type RT_MANIFEST. No link time in the header, so that the same sources give the same file, and
the header's checksum right for the bytes there are.

Usage: windows_exe.py QUILLENDOR_EXE
"""
import array
import struct
import sys

# ole32: COM on the window thread, for the accessibility runtime's property service that names
# the controls Windows would misname (Accessibility.cpp); oleacc itself is loaded by COM.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "msvcrt.dll", "ole32.dll"}
OLE32_FUNCTIONS = {"CoInitializeEx", "CoCreateInstance", "CoUninitialize"}
NOT_IMPORTED = {"RegOpenKeyExA", "RegQueryValueExA", "RegCloseKey"}
RT_ICON, RT_VERSION, RT_MANIFEST = 3, 16, 24


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, self.timestamp, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.checksum_at = opt + 64
        self.checksum = struct.unpack_from("<I", data, self.checksum_at)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        directories = opt + 112  # PE32+
        self.dirs = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            _, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def computed_checksum(self):
        """The header checksum as imagehlp's CheckSumMappedFile computes it: the file's 16-bit words
        (the checksum field left out) added with end-around carry, plus the file's length."""
        data = bytearray(self.data)
        data[self.checksum_at:self.checksum_at + 4] = bytes(4)
        if len(data) % 2:
            data.append(0)
        total = sum(array.array("H", bytes(data)))
        while total >> 16:
            total = (total & 0xFFFF) + (total >> 16)
        return total + len(self.data)

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("RVA %#x outside every section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        found = {}
        rva = self.dirs[1][0]
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if name == 0:
                return found
            names = found.setdefault(self.cstring(name).lower(), [])
            entry = self.offset(lookup or thunks)
            while True:
                thunk = struct.unpack_from("<Q", self.data, entry)[0]
                if thunk == 0:
                    break
                if not thunk & (1 << 63):
                    names.append(self.cstring((thunk & 0x7FFFFFFF) + 2))
                entry += 8
            rva += 20

    def resources(self):
        """{type: {id: bytes}} of the first language of each resource."""
        if not self.dirs[2][0]:
            return {}
        base = self.offset(self.dirs[2][0])

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield key, target

        found = {}
        for rtype, types in entries(0):
            for rid, names in entries(types & 0x7FFFFFFF):
                _, language = next(entries(names & 0x7FFFFFFF))
                rva, size = struct.unpack_from("<II", self.data, base + language)
                start = self.offset(rva)
                found.setdefault(rtype, {})[rid] = self.data[start:start + size]
        return found


def main():
    data = open(sys.argv[1], "rb").read()
    exe = Pe(data)
    failures = []

    def check(ok, what):
        print(("ok:     " if ok else "FAILED: ") + what)
        if not ok:
            failures.append(what)

    check(exe.machine == 0x8664 and exe.magic == 0x20B, "x86-64, PE32+")
    check(exe.subsystem == 2, "GUI subsystem")
    check(exe.timestamp == 0, "no link time in the header (TimeDateStamp %#x)" % exe.timestamp)
    check(exe.checksum == exe.computed_checksum(),
          "header checksum %#x, computed %#x" % (exe.checksum, exe.computed_checksum()))
    imports = exe.imports()
    print("imports: " + ", ".join(sorted(imports)))
    check(set(imports) <= SYSTEM_DLLS, "only system DLLs: %s" % sorted(set(imports) - SYSTEM_DLLS))
    ole32 = set(imports.get("ole32.dll", []))
    check(ole32 <= OLE32_FUNCTIONS, "from ole32 only COM's start, end and CoCreateInstance: %s"
          % sorted(ole32 - OLE32_FUNCTIONS))
    functions = {f for names in imports.values() for f in names}
    check(not functions & NOT_IMPORTED, "no registry function imported: %s" % sorted(functions & NOT_IMPORTED))

    resources = exe.resources()
    version = resources.get(RT_VERSION, {}).get(1, b"").decode("utf-16-le", "replace")
    for key, value in [("ProductName", "Quillendor"), ("FileDescription", "Quillendor"),
                       ("InternalName", "Quillendor"), ("Comments", "Quillendor"),
                       ("OriginalFilename", "Quillendor.exe"), ("FileVersion", "1.00"),
                       ("ProductVersion", "1.00")]:
        check(key in version and value in version.split(key, 1)[1][:40], "version %s %s" % (key, value))
    check("040904B0" in version, "version translation 040904B0")
    check(any(len(icon) > 0 for icon in resources.get(RT_ICON, {}).values()), "an icon")
    manifest = resources.get(RT_MANIFEST, {}).get(1, b"").decode("utf-8", "replace")
    check(bool(manifest), "a manifest as resource 1 of type RT_MANIFEST")
    for needed in ['name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', "PerMonitorV2",
                   "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", 'level="asInvoker"']:
        check(needed in " ".join(manifest.split()), "manifest: " + needed)

    print("%d bytes" % len(data))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
