// SPDX-License-Identifier: MIT
#pragma once

// What a screen reader hears of the windows, beyond what Windows works out for itself. Windows
// names a button or a check box by its text, a label by its text, a window by its caption and an
// edit box by the label before it; here the controls a description pairs with a label are named
// by that label (the "<" button is "DOWN"), a picture box is named and described in words, and a
// dialog reads as a dialog. The names go on the windows through the accessibility runtime's
// property service (oleacc's IAccPropServices, over COM on the window thread), which is made once
// the first window is on the screen: start-up does not wait for it. Where that service is
// missing the windows keep what Windows gives them.

#include "Description.h"

#include <windows.h>

#include <span>
#include <utility>

struct IAccPropServices;

namespace quill::win32 {

class Accessibility {
public:
    Accessibility() = default;
    ~Accessibility();
    Accessibility(const Accessibility &) = delete;
    Accessibility &operator=(const Accessibility &) = delete;

    // Makes the property service, once COM has started on this thread. Until then describe()
    // does nothing: the backend describes the windows made before once it has started.
    void start();
    // A window just built from `description`, with the window of each of its controls.
    void describe(HWND window, const WindowDesc &description,
                  std::span<const std::pair<const ControlDesc *, HWND>> controls);
    // Before the window and its controls are destroyed: drops what describe() put on them.
    void forget(HWND window, std::span<const std::pair<const ControlDesc *, HWND>> controls);

private:
    IAccPropServices *m_service = nullptr;
};

} // namespace quill::win32
