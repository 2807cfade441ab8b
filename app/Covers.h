// SPDX-License-Identifier: MIT
#pragma once

// A full-screen form covers every monitor. Its own window, built from its description, stands on the
// primary monitor; each other monitor gets a plain cover of the same colour, as much out of the way
// of the taskbar and as much on top as the window itself. The covers belong to the form's window:
// they are not windows of the registry, a click or a close request on one is the window's own, and
// they come and go with monitors plugged in and out while the form is loaded.
//
// Native windows are made when the form loads, so that showing the form only maps them, all in one
// go, and every monitor goes dark at the same moment.

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>

class QScreen;
class QWidget;

namespace quill {

class FormWidget;

// Whether hideAfterLastFrame waits for a window's last frame: on Wayland.
bool hidingWaitsForFrames();

// Hides `window` once the display has shown its last frame, then runs `then`; a window not on
// screen, or a platform that needs no waiting, hides at once. On Wayland, Qt 6.4 destroys the
// request for a window's next frame on the main thread when the window is hidden, while its
// event thread may be destroying the same request as the compositor answers it: libwayland then
// aborts the program. Qt delivers an update it was asked for only once that answer has come, so
// the window, which draws nothing meanwhile, is hidden in that update (or 100 ms later, if the
// compositor sends no answer, as for a window under a full-screen one).
void hideAfterLastFrame(QWidget *window, std::function<void()> then = {},
                        bool waitForFrame = hidingWaitsForFrames());
// The window is to stay on screen after all: a hiding that waits is called off.
void keepShown(QWidget *window);

class ScreenCovers : public QObject {
public:
    // `makeCover` builds one cover window like the form's own (flags, colour, taskbar) over a
    // monitor, with its native window made but not shown.
    using MakeCover = std::function<FormWidget *(QScreen *)>;
    ScreenCovers(FormWidget *window, MakeCover makeCover);
    ~ScreenCovers() override;

    // Maps the form's window on the primary monitor and a cover on each other monitor.
    void show();
    // Unmaps the covers, each after its last frame (hideAfterLastFrame), then runs `then`; the
    // form hides its own window.
    void hide(std::function<void()> then = {});

    // The covers there are now, for tests: one per monitor but the primary.
    int count() const { return static_cast<int>(m_covers.size()); }

private:
    void watch(QScreen *screen);
    // One cover per monitor but the primary, each filling its monitor; the window on the primary.
    void follow();

    FormWidget *m_window;
    MakeCover m_makeCover;
    std::map<QScreen *, QPointer<FormWidget>> m_covers;
    bool m_shown = false;
};

} // namespace quill
