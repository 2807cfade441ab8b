#!/bin/bash
# SPDX-License-Identifier: MIT
# The catalogs as translators and the build keep them: each PO file of po/LINGUAS passes
# msgfmt --check, has every text of the template translated and none fuzzy or left over, and says
# that it awaits a native speaker's review; and the template is what the sources make now, no text
# missing from it and none stale.
#
#   tests/catalogs.sh SOURCE_DIR
set -euo pipefail
src=$1
cd "$src"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

fresh=$(mktemp --suffix=.pot)
trap 'rm -f "$fresh"' EXIT
po/make_pot.sh "$fresh"
# msgcmp A B: every text of B is in A.
msgcmp --use-untranslated po/quillendor.pot "$fresh" >/dev/null 2>&1 ||
    fail "texts of the sources missing from po/quillendor.pot (run po/make_pot.sh): $(msgcmp --use-untranslated po/quillendor.pot "$fresh" 2>&1 | grep -o 'msgid.*' | head -5 | tr '\n' ' ')"
msgcmp --use-untranslated "$fresh" po/quillendor.pot >/dev/null 2>&1 ||
    fail "texts of po/quillendor.pot no source has any more (run po/make_pot.sh): $(msgcmp --use-untranslated "$fresh" po/quillendor.pot 2>&1 | grep -o 'msgid.*' | head -5 | tr '\n' ' ')"

languages=$(grep -v '^#' po/LINGUAS)
for lang in $languages; do
    po=po/$lang.po
    [ -f "$po" ] || { fail "$po is missing"; continue; }
    msgfmt --check -o /dev/null "$po" 2>/dev/null || fail "$po: msgfmt --check: $(msgfmt --check -o /dev/null "$po" 2>&1 | head -3 | tr '\n' ' ')"
    msgcmp "$po" po/quillendor.pot >/dev/null 2>&1 || fail "$po: texts of the template missing or untranslated"
    msgcmp --use-untranslated po/quillendor.pot "$po" >/dev/null 2>&1 || fail "$po: texts the template no longer has"
    [ -z "$(msgattrib --only-fuzzy --no-obsolete "$po")" ] || fail "$po: fuzzy translations"
    [ -z "$(msgattrib --untranslated --no-obsolete "$po")" ] || fail "$po: untranslated texts"
    grep -q '^#~' "$po" && fail "$po: obsolete entries left in it"
    grep -qi '^#.*native speaker' "$po" || fail "$po: its header does not say it awaits a native speaker's review"
    grep -q "^\"Language: $lang\\\\n\"" "$po" || fail "$po: its Language header is not $lang"
done
[ "$failed" -eq 0 ] && echo "$(echo "$languages" | wc -w) catalogs and the template agree with the sources"
exit "$failed"
