// SPDX-License-Identifier: MIT
#pragma once

// The question-mark picture drawn with GDI from the runtime's geometry (QuestionMark.h), scaled
// into a box keeping its proportions, at the box's top-left as a picture box shows its picture.

#include <windows.h>

namespace quill::win32 {

void drawQuestionMark(HDC dc, const RECT &box);

} // namespace quill::win32
