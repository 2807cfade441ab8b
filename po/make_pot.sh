#!/bin/sh
# SPDX-License-Identifier: MIT
# Makes the translators' template from the sources po/POTFILES names:
#
#   po/make_pot.sh [OUTPUT]        (default po/quillendor.pot; run from anywhere)
#
# Texts are marked in C++ with N_, tr, trFormat and trContext (app/Catalog.h); the desktop entry's
# GenericName, Comment and Keywords, and the AppStream data's summary and description
# (po/metainfo.its), are taken too. Places name files only, so that moving a text within a file
# leaves the template as it is.
set -eu
cd "$(dirname "$0")/.."
out=${1:-po/quillendor.pot}
version=$(sed -n 's/^project(Quillendor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
common="--from-code=UTF-8 --add-comments=TRANSLATORS --add-location=file --sort-by-file
        --package-name=Quillendor --package-version=$version
        --msgid-bugs-address=quillendor@example.org --copyright-holder=the-authors-of-Quillendor"
sources=$(grep -v '^#' po/POTFILES | grep -E '\.(cpp|h)$')
# shellcheck disable=SC2086
xgettext $common --language=C++ -k -kN_ -ktr -ktrFormat:1 -ktrContext:1c,2 -o "$out" $sources
# shellcheck disable=SC2086
xgettext $common --language=Desktop -j -k -kGenericName -kComment -kKeywords -o "$out" \
    packaging/quillendor.desktop.in
# shellcheck disable=SC2086
xgettext $common -j --its=po/metainfo.its -o "$out" \
    packaging/io.github.quillendor.Quillendor.metainfo.xml.in
sed -i -e '1s/.*/# The texts of Quillendor, for its translators./' \
       -e '2s/.*/# Copyright (C) the authors of Quillendor/' -e '4d' "$out"
