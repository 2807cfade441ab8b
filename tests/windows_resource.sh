#!/bin/bash
# SPDX-License-Identifier: MIT
# Compiles the Windows resource script with mingw-w64's windres and checks what the program file
# will say about itself: the version strings (stored as UTF-16) and a 32x32 icon.
set -euo pipefail
rc=$1
windres=${WINDRES:-x86_64-w64-mingw32-windres}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$windres" --input "$rc" --output "$out/quillendor.res" --output-format=res \
    --include-dir "$(dirname "$rc")"

strings_in_res() { iconv -f UTF-16LE -t UTF-8 "$1" 2>/dev/null | tr -c '[:print:]' '\n' | grep -v '^$'; }
strings_in_res "$out/quillendor.res" > "$out/strings.txt" || true

fail=0
for expected in ProductName FileDescription InternalName Comments OriginalFilename \
                Quillendor.exe FileVersion ProductVersion 1.00 040904B0 Translation; do
    if grep -qx -- "$expected" "$out/strings.txt"; then
        echo "found: $expected"
    else
        echo "missing: $expected"; fail=1
    fi
done
# "Quillendor" stands for four values, each as its own string.
count=$(grep -cx Quillendor "$out/strings.txt" || true)
echo "\"Quillendor\" values: $count"
[ "$count" -eq 4 ] || fail=1

# The icon group names one 32x32 image of 16 colours: width, height and colour count bytes.
if od -An -tx1 -v "$out/quillendor.res" | tr -d '\n' | grep -q " 20 20 10 00 01 00 04 00"; then
    echo "found: 32x32 16-colour icon entry"
else
    echo "missing: 32x32 16-colour icon entry"; fail=1
fi
exit $fail
