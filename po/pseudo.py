#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes the pseudo-language catalog from the template: every text accented and in brackets,
"[Şţàŕţ]" for "Start", so that a text that did not come through the catalog shows at a glance.
Only the tests use it; it is never installed, nor compiled into Quillendor.exe.

    pseudo.py quillendor.pot qps.po
"""

import re
import sys

import template

ACCENTED = dict(zip("AaCcDdEeGgHhIiJjKkLlNnOoRrSsTtUuWwYyZz",
                    "ÅåÇçÐðÉéĜĝĤĥÎîĴĵĶķĻļÑñÖöŔŕŠšŢţÛûŴŵÝýŽž"))
PLACEHOLDER = re.compile(r"%(?:\d+\$)?s|%%")


def accent(text):
    parts, at = [], 0
    for m in PLACEHOLDER.finditer(text):
        parts.append("".join(ACCENTED.get(c, c) for c in text[at:m.start()]))
        parts.append(m.group(0))
        at = m.end()
    parts.append("".join(ACCENTED.get(c, c) for c in text[at:]))
    return "".join(parts)


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def main(argv):
    out = ['msgid ""', 'msgstr ""', '"Project-Id-Version: Quillendor pseudo-language\\n"',
           '"PO-Revision-Date: 2026-12-10 00:00+0000\\n"',
           '"Last-Translator: po/pseudo.py\\n"', '"Language-Team: none\\n"',
           '"Language: qps\\n"', '"MIME-Version: 1.0\\n"',
           '"Content-Type: text/plain; charset=UTF-8\\n"',
           '"Content-Transfer-Encoding: 8bit\\n"', '"Plural-Forms: nplurals=1; plural=0;\\n"', ""]
    for context, english, _ in template.messages(argv[1]):
        if context is not None:
            out.append(f"msgctxt {quote(context)}")
        out.append(f"msgid {quote(english)}")
        # The direction stays: the pseudo-language runs left to right.
        text = english if context == "text direction" else "[" + accent(english) + "]"
        out += [f"msgstr {quote(text)}", ""]
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
