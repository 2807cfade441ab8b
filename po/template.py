# SPDX-License-Identifier: MIT
"""The messages of the translators' template, po/quillendor.pot, as xgettext writes it: for each,
its context (None where it has none), its English text and the places in the sources ("#:" lines)
that use it. The header, whose English text is empty, is left out."""

import ast


def messages(path):
    found, places, fields, field = [], [], {}, None

    def end():
        if fields.get("msgid"):
            found.append((fields.get("msgctxt"), fields["msgid"], places))

    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines() + [""]:
            if not line.strip():
                end()
                places, fields, field = [], {}, None
            elif line.startswith("#:"):
                places = places + line[2:].split()
            elif line.startswith(("msgctxt ", "msgid ", "msgstr ")):
                field, rest = line.split(" ", 1)
                fields[field] = ast.literal_eval(rest)   # a C string is a Python one here
            elif line.startswith('"') and field:
                fields[field] += ast.literal_eval(line)
    return found
