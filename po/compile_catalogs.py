#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes compiled catalogs (.mo files, made by msgfmt --check from po/*.po) as C++ tables for the
Windows program, which has no gettext: one table per language, sorted by the English text.

    compile_catalogs.py OUTPUT.cpp FUNCTION [--template POT --leave-out PREFIX ...] CATALOG ...

Each CATALOG is LANG/LC_MESSAGES/quillendor.mo or LANG.mo. With --template, the texts whose every
place in the sources (the template's "#:" lines) starts with one of the PREFIXes are left out: the
Linux program's own texts and the desktop entry's have no use in Quillendor.exe.

FUNCTION is the C++ function that hands the languages over: compiledLanguages for the program's
own (app/Languages.h), or another name for a language only a test build offers. The output depends
only on the catalogs' contents, so the same sources always give the same program.
"""

import gettext
import os
import sys

import template


def literal(text):
    """A C++ string literal of the text's UTF-8 bytes: octal escapes, which end after three digits
    whatever follows, for every byte outside printable ASCII."""
    out = []
    for byte in text.encode("utf-8"):
        c = chr(byte)
        if c in '\\"':
            out.append("\\" + c)
        elif 0x20 <= byte < 0x7F and c != "?":   # no trigraphs
            out.append(c)
        else:
            out.append(f"\\{byte:03o}")
    return '"' + "".join(out) + '"'


def entries(path, keep):
    with open(path, "rb") as f:
        catalog = gettext.GNUTranslations(f)._catalog
    return sorted(((k, v) for k, v in catalog.items()
                   if k and isinstance(k, str) and v and keep(k)),
                  key=lambda kv: kv[0].encode("utf-8"))


def used_elsewhere(path, prefixes):
    """The keys (context, a byte 4, text) of the template's texts that some source outside
    `prefixes` uses."""
    return {(context + "\x04" if context is not None else "") + english
            for context, english, places in template.messages(path)
            if any(not p.startswith(tuple(prefixes)) for p in places)}


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    output, function, rest = argv[1], argv[2], argv[3:]
    pot, prefixes, catalogs = None, [], []
    while rest:
        if rest[0] == "--template":
            pot, rest = rest[1], rest[2:]
        elif rest[0] == "--leave-out":
            prefixes.append(rest[1])
            rest = rest[2:]
        else:
            catalogs.append(rest[0])
            rest = rest[1:]
    used = used_elsewhere(pot, prefixes) if pot else None

    def keep(key):
        return used is None or key in used

    lines = ["// Made from po/*.po by po/compile_catalogs.py: change the PO files, not this file.",
             '#include "Languages.h"', "", "namespace quill {", "namespace {", ""]
    languages = []
    for path in catalogs:
        # LANG/LC_MESSAGES/quillendor.mo, as the build folder holds them, or LANG.mo.
        parts = os.path.normpath(path).split(os.sep)
        code = parts[-3] if parts[-2:-1] == ["LC_MESSAGES"] else os.path.splitext(parts[-1])[0]
        name = "catalog_" + code.replace("@", "_").replace("-", "_")
        lines.append(f"constexpr CatalogEntry {name}[] = {{")
        for english, translation in entries(path, keep):
            lines.append(f"    {{{literal(english)}, {literal(translation)}}},")
        lines += ["};", ""]
        languages.append((code, name))
    lines.append("constexpr CompiledLanguage languages[] = {")
    lines += [f'    {{"{code}", {name}}},' for code, name in languages]
    lines += ["};", "", "} // namespace", ""]
    if function == "compiledLanguages":
        lines.append("std::span<const CompiledLanguage> compiledLanguages() { return languages; }")
    else:
        lines.append(f"const CompiledLanguage &{function}() {{ return languages[0]; }}")
    lines += ["", "} // namespace quill", ""]
    text = "\n".join(lines)
    if os.path.exists(output):
        with open(output, encoding="utf-8") as f:
            if f.read() == text:
                return 0
    with open(output, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
