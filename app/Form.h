// SPDX-License-Identifier: MIT
#pragma once

// A window of the program: its description, its state in the lifecycle, and its handlers. A form
// subclass gives its description table to the constructor, binds its handlers to control events,
// and reads and writes its own controls through the handles of Controls.h. Building the widgets,
// placing the window and delivering events are done here, so a form reads like its description.

#include "Description.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QObject;
class QWidget;

namespace quill {

class FormWidget;
class ScreenCovers;

enum class Event { Click, Timer };

class Form {
public:
    explicit Form(const WindowDesc &description);
    virtual ~Form();
    Form(const Form &) = delete;
    Form &operator=(const Form &) = delete;

    const WindowDesc &description() const { return m_description; }
    std::string_view name() const { return m_description.name; }

    bool isLoaded() const { return m_widget != nullptr; }
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
    // The window and its controls go; its timers stop. Inside a handler the widgets are deleted
    // once the event being handled is done; `now` deletes them at once (the program is ending).
    void destroy(bool now = false);

    // The live top-level widget while loaded, else null. For tests and for app/.
    QWidget *widget() const;
    // The live object of a control while loaded, else null.
    QObject *control(std::string_view name, int index = -1) const;

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

    void placeOnFirstShow();
    void focusFirstControl();
    void map();
    void prepareScreens(); // a full-screen form's state, polish and covers, before it shows

    const WindowDesc &m_description;
    std::vector<Binding> m_bindings;
    FormWidget *m_widget = nullptr;
    ScreenCovers *m_covers = nullptr; // a full-screen form's covers of the other monitors
    std::weak_ptr<bool> m_alive;
    bool m_shownOnce = false;
    bool m_visible = false;    // shown, as the lifecycle sees it
    bool m_mapPending = false; // shown, not yet on the screen
    bool m_unloading = false;
};

} // namespace quill
