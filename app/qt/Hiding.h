// SPDX-License-Identifier: MIT
#pragma once

// Hiding and deleting top-level windows. On X11 both happen when asked. On Wayland, Qt 6.4's
// plugin destroys a window's frame callback (its request to hear when the compositor has shown
// the window's last frame) on the main thread when the window is hidden, while the plugin's frame
// event thread may be destroying that very callback as it dispatches the compositor's answer,
// with no lock between the two; and that thread still touches the window for a moment after it
// has handed the answer on. When they meet, the program dies of libwayland's wl_proxy_unref
// assertion or of a segmentation fault. So on Wayland a window stops drawing, and is hidden only
// once Qt says that no frame of it waits for an answer (it delivers an update request only then),
// and it is deleted a while after it is hidden.

#include <chrono>
#include <functional>

class QObject;
class QWidget;

namespace quill {

struct Hiding {
    // Wait for the answer to the last frame before hiding (Wayland); hide at once otherwise.
    bool afterLastFrame = false;
    // How long to wait for that answer: a compositor answers only for a window it shows, and may
    // never for one under a full-screen window, where nothing of it can be seen anyway.
    std::chrono::milliseconds answerWait{1000};
    // How long a window hidden so stays before it is deleted.
    std::chrono::milliseconds deleteAfter{1000};

    // What the platform the program runs on needs.
    static Hiding forPlatform();
};

// Off the screen: at once, or once the last frame is answered; a window already hidden or waiting
// to be stays so.
void hideWindow(QWidget *window, const Hiding &how = Hiding::forPlatform());
// A window about to be shown again: a hiding that waits is called off.
void keepShown(QWidget *window);

// How a window is deleted where it need not wait: at once, or once control is back in the event
// loop (QObject::deleteLater).
enum class Deletion { Now, Later };
// Deletes a top-level window; where hiding waits, it is hidden first (if it is not yet) and
// deleted `deleteAfter` later.
void deleteWindow(QWidget *window, Deletion deletion, const Hiding &how = Hiding::forPlatform());

// A dialog shown: on X11, windows that go in the same turn wait for it to get the keyboard.
void dialogShown(QWidget *dialog);

// On X11 the windows that go in the turn a dialog comes (the fake screen, as its reveal dialog
// comes) leave once the window manager has given the dialog the keyboard, or half a second later
// at the most; `step` hides or deletes `going`. Returns the wait, if there is one: deleting it
// calls the step off.
QObject *afterDialogHasKeyboard(QWidget *going, std::function<void()> step);

} // namespace quill
