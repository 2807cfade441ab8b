// SPDX-License-Identifier: MIT
#pragma once

// What a screen reader is told about the windows built from descriptions. The program draws its
// windows, labels and pictures with widgets of its own, which Qt would present as anonymous
// fillers; here they get interfaces of their own: a window is a dialog or a plain window, as its
// border makes it look; a label is a label named by its text; a picture box is an image described
// in words. A control that the description pairs with a label is named by that label, the way a
// sighted user reads the two together.

#include "Description.h"

class QWidget;

namespace quill {

// Makes Qt build the interfaces of the program's own widgets. Before the first window loads: Qt
// keeps the first interface it hands out for a widget.
void installAccessibility();

// Tells assistive technology what a window just built from `description` and its controls are.
void describeForAssistiveTechnology(QWidget *window, const WindowDesc &description);

} // namespace quill
