// SPDX-License-Identifier: MIT
#pragma once

// A window of the program: its description, its state in the lifecycle, and its handlers. A form
// subclass gives its description table to the constructor, binds its handlers to control events,
// and reads and writes its own controls through the handles of Controls.h. The native window is
// made by the backend (Backend.h); when it is made, shown, placed and destroyed is decided here, so
// a form reads like its description and every backend keeps the same order.

#include "Backend.h"
#include "Description.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class Form {
public:
    // The window is built from `description` with its captions in the user's language.
    explicit Form(const WindowDesc &description);
    virtual ~Form();
    Form(const Form &) = delete;
    Form &operator=(const Form &) = delete;

    const WindowDesc &description() const { return m_description; }
    std::string_view name() const { return m_description.name; }

    bool isLoaded() const { return m_native != nullptr; }
    bool isVisible() const;
    bool isUnloading() const { return m_unloading; }

    // Lifecycle steps; the registry puts them together into show, hide and unload.
    void load();       // build from the description, then run the Load handler
    // Visible for the lifecycle at once; on the screen when the event loop next runs, if the window
    // is still loaded and visible then. A window shown and unloaded again within one event is never
    // seen, and a full-screen form's monitors all go dark in one go.
    void makeVisible();
    void makeHidden();
    void runUnload();  // the Unload handler
    // The window and its controls go; its timers stop at once. Inside a handler the window leaves
    // the screen at the next turn of the event loop and its native objects go once no handler
    // runs any more; `now` destroys them at once (the program is ending).
    void destroy(bool now = false);

    // The native window while loaded, else null. For the backend and its tests.
    NativeWindow *native() const { return m_native.get(); }
    // The described control of that name, or null.
    const ControlDesc *controlDesc(std::string_view name) const;

    // A timer control's state while the window is loaded.
    struct TimerState {
        std::int32_t interval = 0;
        bool enabled = false;
    };
    TimerState *timerState(std::string_view name);

protected:
    // The window's Load and Unload handlers. Absent unless a form overrides them.
    virtual void Load() {}
    virtual void Unload() {}
    // A close request from the window manager (the close box, Alt+F4, a session's close). Without
    // an override it unloads this window alone.
    virtual void QueryClose();

    // Binds a handler to an event of a control; an empty name means the window's own background.
    void on(std::string_view control, Event event, std::function<void()> handler);

private:
    struct Binding {
        std::string control;
        Event event;
        std::function<void()> handler;
    };

    void receive(std::string_view control, Event event);
    void placeOnFirstShow();
    void focusFirstControl();
    void map();

    // The description in the user's language: the table's controls with their captions from the
    // catalog.
    std::vector<ControlDesc> m_controls;
    WindowDesc m_description;
    std::vector<Binding> m_bindings;
    std::unique_ptr<NativeWindow> m_native;
    std::map<std::string, TimerState, std::less<>> m_timers;
    // Lives as long as the form: steps posted for a later turn find out whether it still does.
    std::shared_ptr<Form *> m_self;
    // Lives as long as one load: events of a window that went are dropped.
    std::shared_ptr<bool> m_alive;
    bool m_shownOnce = false;
    bool m_visible = false;    // shown, as the lifecycle sees it
    bool m_mapPending = false; // shown, not yet on the screen
    bool m_unloading = false;
};

} // namespace quill
