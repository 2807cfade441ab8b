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

namespace quill {

class FormWidget;

class ScreenCovers : public QObject {
public:
    // `makeCover` builds one cover window like the form's own (flags, colour, taskbar) over a
    // monitor, with its native window made but not shown.
    using MakeCover = std::function<FormWidget *(QScreen *)>;
    ScreenCovers(FormWidget *window, MakeCover makeCover);
    ~ScreenCovers() override;

    // Maps the form's window on the primary monitor and a cover on each other monitor.
    void show();
    // Unmaps the covers; the form hides its own window.
    void hide();

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
