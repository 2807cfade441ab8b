// SPDX-License-Identifier: MIT
#pragma once

// What the runtime asks of a toolkit. The registry, the lifecycle and the forms decide what happens
// and when; a backend makes native windows and controls from descriptions, runs the event loop and
// reports what the user did. A form never sees the toolkit: it reaches its window only through the
// runtime, which talks to the NativeWindow the backend made for it.
//
// The rules the program keeps (when a shown window reaches the screen, when an unloaded one goes,
// that one handler never runs inside another, where a window is placed) are the runtime's; a backend
// only does each step when it is told to.

#include "Description.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class Event { Click, Timer };

// A rectangle in pixels of the desktop.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

// A size in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
};

struct Monitor {
    PixelRect geometry;
    PixelRect workArea; // what panels and docks leave free
    double dpi = 96.0;  // logical dots per inch
};

// What a native window reports to the form it belongs to.
struct WindowEvents {
    // A click or a timer of a control; an empty name is the window's own background.
    std::function<void(std::string_view control, Event event)> event;
    // The close box, Alt+F4, a session's close: the form decides what happens.
    std::function<void()> closeRequest;
};

// How a window is laid out when it is made: at what DPI, with the fonts at what share of their
// described size, and its first rectangle (the primary monitor for a full-screen form, else the
// client area's size at the origin).
struct WindowLayout {
    double dpi = 96.0;
    double fontScale = 1.0;
    PixelRect frame;
};

// The native window of a loaded form with its controls, named as in the description. Controls are
// only ever asked for by a name and kind the description has.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;

    // Lives as long as the native window: a step posted for a later turn finds out whether it
    // still does.
    std::weak_ptr<NativeWindow *> lifetime() const { return m_lifetime; }

    // The client area's place on the desktop.
    virtual void place(const PixelRect &client) = 0;
    // On the screen (a full-screen form: over every monitor) and active; off the screen.
    virtual void map() = 0;
    virtual void unmap() = 0;
    virtual void focus(std::string_view control) = 0;

    // The caption of a label, button or check box, the text of a text box.
    virtual std::string text(std::string_view control) const = 0;
    virtual void setText(std::string_view control, std::string_view text) = 0;
    // A check box: 0 unchecked, 1 checked, 2 grayed.
    virtual std::int16_t value(std::string_view control) const = 0;
    virtual void setValue(std::string_view control, std::int16_t value) = 0;
    // A timer fires its Timer event every `interval` ms while enabled (0 never fires), never
    // inside the handler that set it going.
    virtual void setTimer(std::string_view control, std::int32_t interval, bool enabled) = 0;
    // Every timer of the window stops for good: the window is going.
    virtual void stopTimers() = 0;

private:
    std::shared_ptr<NativeWindow *> m_lifetime = std::make_shared<NativeWindow *>(this);
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual std::unique_ptr<NativeWindow> createWindow(const WindowDesc &description,
                                                       const WindowLayout &layout,
                                                       WindowEvents events) = 0;
    // Destroys an unloaded window once the event being handled has returned to the event loop:
    // never from inside one of the window's own events, nor from a message box the running
    // handler opened (handlerRunning() in ErrorReport.h says whether one runs). Until then the
    // window may still be told to unmap.
    virtual void dispose(std::unique_ptr<NativeWindow> window) = 0;
    // Runs `step` at the next turn of the event loop, after what was posted before it.
    virtual void post(std::function<void()> step) = 0;

    // Every monitor, the primary one first; empty when the toolkit knows of none.
    virtual std::vector<Monitor> monitors() const = 0;
    // The colour, 0x00BBGGRR, of an index of the system colour scheme.
    virtual Colour systemColour(int index) const = 0;
    // The room `text` takes in `font` at `scale` times its size, at `dpi`, in a control of `kind`
    // `width` pixels wide: a label's text wraps at word boundaries inside that width (a word wider
    // than it makes the text wider), a button's caption keeps to one line with room for the
    // button's bevel around it, a check box's stands on one line beside its box.
    virtual PixelSize textExtent(Kind kind, std::string_view text, const Font &font, double scale,
                                 double dpi, int width) const = 0;
    // The user's decimal separator.
    virtual char32_t decimalSeparator() const = 0;
    // The program's one message box: modal, an OK button only, the program's name as caption.
    virtual void showMessage(const std::string &text) = 0;
    // The environment variables the backend set for this process alone: the programs it starts get
    // the user's environment, without them.
    virtual std::vector<std::string> variablesSetForThisProgram() const { return {}; }
};

// The backend the runtime uses: set once by the platform's start-up.
Backend &backend();
void setBackend(Backend *backend);

} // namespace quill
