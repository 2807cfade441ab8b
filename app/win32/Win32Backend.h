// SPDX-License-Identifier: MIT
#pragma once

// The runtime's backend on plain Win32: windows are Win32Windows, the next turn of the event loop
// is a message posted to a message-only window, the message box is MessageBoxW. It also runs the
// message loop, where the keyboard works as in a dialog (IsDialogMessageW), the timer controls tick
// (WaitableTimers) and unloaded windows are destroyed once no handler runs any more.

#include "Backend.h"
#include "Accessibility.h"
#include "Taskbar.h"
#include "VirtualDesktops.h"
#include "WaitableTimers.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quill::win32 {

class Win32Window;

class Win32Backend final : public Backend {
public:
    explicit Win32Backend(HINSTANCE instance);
    ~Win32Backend() override;
    Win32Backend(const Win32Backend &) = delete;
    Win32Backend &operator=(const Win32Backend &) = delete;

    std::unique_ptr<NativeWindow> createWindow(const WindowDesc &description,
                                               const WindowLayout &layout,
                                               WindowEvents events) override;
    void dispose(std::unique_ptr<NativeWindow> window) override;
    void post(std::function<void()> step) override;
    std::vector<Monitor> monitors() const override;
    Colour systemColour(int index) const override;
    PixelSize textExtent(Kind kind, std::string_view text, const Font &font, double scale,
                         double dpi, int width) const override;
    char32_t decimalSeparator() const override;
    void showMessage(const std::string &text) override;

    // Runs the message loop until end() is called.
    void run();
    void end();

    HINSTANCE instance() const { return m_instance; }
    // Where the windows' timer controls are made; the message loop waits on them.
    WaitableTimers &timers() { return m_timers; }
    // The hidden window that owns the windows kept off the taskbar: they stay in Alt+Tab.
    HWND owner() const { return m_owner; }
    Accessibility &accessibility() { return m_accessibility; }
    // COM on the window thread, for what the program asks of the shell and the accessibility
    // runtime: started once, the first time this is called, and ended as the backend goes; the
    // windows made until then are described to the screen reader then. The message loop calls
    // it as soon as the first window is on the screen; whatever needs COM calls it too. Whether
    // COM runs.
    bool startCom();

    // The windows that are loaded, for the message loop and for one another: a full-screen form
    // on the screen keeps the other windows above it until it goes.
    void add(Win32Window *window);
    void remove(Win32Window *window);
    bool coversShown() const;
    void coversChanged();
    // A fake screen went back on top of another program's window: the program's own windows
    // shown over it (a dialog, the error report's message box) go back over it.
    void raiseAboveCovers();
    // What the shell's taskbar is told of the fake screens; it needs COM.
    Taskbar &taskbar()
    {
        startCom();
        return m_taskbar;
    }
    // Which virtual desktop the fake screens come on; it needs COM.
    VirtualDesktops &virtualDesktops()
    {
        startCom();
        return m_virtualDesktops;
    }

    // The window class every form window and cover is made of, and the picture box's.
    static constexpr const wchar_t *FormClass = L"QuillendorForm";
    static constexpr const wchar_t *PictureClass = L"QuillendorPicture";

private:
    static LRESULT CALLBACK messageProc(HWND window, UINT message, WPARAM w, LPARAM l);
    void runPosted();
    void handle(MSG &msg);
    void afterEvent();
    void destroyRetired();
    Win32Window *formOf(HWND window) const;

    HINSTANCE m_instance;
    // COM, ended after everything made through it is released: declared before all of it.
    struct Com {
        bool asked = false;
        bool started = false;
        ~Com();
    } m_com;
    Accessibility m_accessibility; // before the windows, after them gone
    Taskbar m_taskbar;             // after COM has started, released before it ends
    VirtualDesktops m_virtualDesktops; // the same
    HWND m_messages = nullptr; // message-only: the posted steps arrive here
    HWND m_owner = nullptr;
    std::deque<std::function<void()>> m_posted;
    WaitableTimers m_timers; // outlives every window, which closes its own timers
    // Unloaded windows: first waiting for the steps posted before them, then for the end of the
    // handler that runs.
    std::vector<std::unique_ptr<NativeWindow>> m_retiring;
    std::vector<std::unique_ptr<NativeWindow>> m_retired;
    std::vector<Win32Window *> m_windows;
    HWND m_lastFocus = nullptr;
    bool m_ended = false;
};

// The user's decimal separator, also before the backend is made.
char32_t decimalSeparator();

// What every top-level window answers about the user's session: a shutdown or sign-out is never
// held up (WM_QUERYENDSESSION is yes), and when the session ends (WM_ENDSESSION with a true wParam)
// the process ends at once, in whatever state it is, without running any DLL's detach code, which
// could wait for a lock held by a thread COM or the accessibility runtime started. Nothing for any
// other message.
std::optional<LRESULT> sessionAnswer(UINT message, WPARAM w);

} // namespace quill::win32
