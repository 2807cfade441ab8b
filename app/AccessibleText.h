// SPDX-License-Identifier: MIT
#pragma once

// What a screen reader is told a window or a control built from a description is, the same on
// every backend: the kind of window its border makes it look, and each control's name and
// description. A control the description pairs with a label is named by that label's caption,
// the way a sighted user reads the two together; a picture box by a few words on its picture;
// anything else by its own caption.

#include "Description.h"

#include <string_view>

namespace quill {

enum class WindowRole { Window, Dialog };

// Borderless, a window is a full-screen cover; with a border and neither a minimize nor a
// maximize button, it is a dialog, as the classic toolkit draws one.
WindowRole windowRole(const WindowDesc &d);

struct AccessibleText {
    std::string_view name;
    std::string_view description;
};

AccessibleText pictureText(Picture picture);
AccessibleText accessibleText(const WindowDesc &d, const ControlDesc &c);

} // namespace quill
