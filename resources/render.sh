#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Redraws Quillendor's pictures from their text sources.
#
#   draw_icon.py       -> quillendor.xpm, quillendor.svg  (program icon)
#   quillendor.xpm     -> quillendor-32.png, quillendor.ico
#   draw_question.py   -> question.svg                    (reveal dialog picture)
#   question.svg       -> question-preview.png  (129x121, the size it is shown at)
#
# Needs python3 and ImageMagick's `convert`; rsvg-convert (librsvg2-bin) is
# used for the question-mark preview when present. Safe to run repeatedly:
# outputs are rewritten byte-for-byte identically (no timestamps embedded).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

python3 draw_icon.py .
python3 draw_question.py .

# 32x32 PNG with transparency, no date/time chunks so reruns are identical.
convert quillendor.xpm -strip -define png:exclude-chunks=date,time \
    quillendor-32.png

# Windows icon: one 32x32 image, 4 bits per pixel (16-colour palette) plus
# the transparency mask.
convert quillendor.xpm -strip -type PaletteAlpha quillendor.ico

if command -v rsvg-convert >/dev/null 2>&1; then
    rsvg-convert -w 129 -h 121 question.svg -o question-preview.png
else
    convert -background none -density 96 question.svg -resize 129x121! \
        -strip -define png:exclude-chunks=date,time question-preview.png
fi

identify quillendor-32.png quillendor.ico question-preview.png
