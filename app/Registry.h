// SPDX-License-Identifier: MIT
#pragma once

// The window registry: one slot per window name, filled with the window object the first time anyone
// refers to it, and kept for the whole run. The lifecycle operations show, hide and unload go through
// it, and it owns the rule that ends the program: when an unload leaves no window loaded, the event
// loop is told to end (the handler that is running still finishes its own steps first).

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace quill {

class Form;
class NativeWindow;

class Registry {
public:
    using Factory = std::function<std::unique_ptr<Form>()>;
    using EndHandler = std::function<void(int exitCode)>;
    using Trace = std::function<void(const std::string &event)>;

    // The newest registry alive is the one the lifecycle operations use.
    Registry();
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    static Registry &current();

    void define(std::string_view name, Factory factory);

    // The window in the named slot, created (not loaded) on first reference.
    Form &window(std::string_view name);

    void load(std::string_view name);
    void show(std::string_view name);
    void hide(std::string_view name);
    void unload(std::string_view name);

    bool isLoaded(std::string_view name) const;
    bool isVisible(std::string_view name) const;
    int loadedCount() const;

    // Called once, when the program has to end: with 0 when the last window was unloaded, with the
    // failing code after the default error report.
    void setEndHandler(EndHandler handler);
    void endProgram(int exitCode);
    bool hasEnded() const { return m_ended; }

    // A native window whose form was unloaded: it leaves the screen at the next turn of the event
    // loop, right after the windows the event being handled showed have come on it (they were
    // asked for first), so that nothing of the desktop shows between the one and the others, and
    // so that the window manager gives the new window the focus as it does when a window closes.
    // The backend destroys it once the event being handled has returned.
    void retire(std::unique_ptr<NativeWindow> window);

    // Every Load and Unload event, as "Load Form1" / "Unload Form1", in the order they run.
    void setTrace(Trace trace);
    void trace(const std::string &event) const;

private:
    std::map<std::string, Factory, std::less<>> m_factories;
    std::map<std::string, std::unique_ptr<Form>, std::less<>> m_slots;
    EndHandler m_end;
    Trace m_trace;
    bool m_ended = false;
    Registry *m_previous = nullptr;
};

// Loads the startup window through `registry`, then runs `then` as a handler of its own, if the
// program has not ended by then. Returns false if the program already ended.
bool startUp(Registry &registry, const std::function<void()> &then = {});

// The lifecycle operations, as the handlers use them.
void show(std::string_view name);
void hide(std::string_view name);
void unload(std::string_view name);

} // namespace quill
