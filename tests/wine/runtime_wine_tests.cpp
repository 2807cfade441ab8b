// SPDX-License-Identifier: MIT
// The shared runtime and the four forms as the Windows build compiles them, run under Wine by
// run.sh over a backend of this test's own: it records what goes on and off the screen and when
// windows are destroyed, and delivers clicks, timers and close requests as an event loop would.
//
//   runtime_wine_tests.exe PHASE [comma]
//
// Phases: conversions, delaytexts, lifecycle. The case tables are the Qt Test suites' own.
// "comma" asks that the user's locale (LC_ALL for Wine) has a decimal comma, so that the delay
// texts are really typed with one. The last line says "PHASE: N passed, M failed".

#include "ConversionCases.h"
#include "DelayTextCases.h"
#include "LifecycleCases.h"

#include "Backend.h"
#include "Controls.h"
#include "ErrorReport.h"
#include "Form.h"
#include "Forms.h"
#include "Registry.h"
#include "Runtime.h"
#include "TimerSchedule.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace quill;
using namespace quill::test;

namespace {

int g_passed = 0;
int g_failed = 0;
std::string g_case; // the table row being checked, for the failure report

std::string show(const std::string &s)
{
    std::string out;
    for (unsigned char c : s) {
        if (out.size() > 60) {
            out += "...";
            break;
        }
        if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}
std::string show(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}
std::string show(const std::vector<std::string> &list)
{
    std::string out = "[";
    for (const std::string &s : list)
        out += (out.size() > 1 ? ", " : "") + show(s);
    return out + "]";
}
std::string show(const std::vector<int> &list)
{
    std::string out = "[";
    for (int v : list)
        out += (out.size() > 1 ? ", " : "") + std::to_string(v);
    return out + "]";
}
std::string show(const PixelRect &r)
{
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) + "+"
           + std::to_string(r.y);
}
template <typename T> std::string show(T v) { return std::to_string(v); }

void check(bool ok, const char *expr, int line, const std::string &detail = {})
{
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::printf("FAIL line %d%s%s: %s%s%s\n", line, g_case.empty() ? "" : " [",
                g_case.empty() ? "" : (g_case + "]").c_str(), expr, detail.empty() ? "" : " -- ",
                detail.c_str());
}

#define CHECK(expr) check((expr), #expr, __LINE__)
#define CHECK_EQ(actual, expected)                                                                 \
    do {                                                                                           \
        const auto a_ = (actual);                                                                  \
        const auto e_ = (expected);                                                                \
        check(a_ == e_, #actual " == " #expected, __LINE__,                                        \
              "got \"" + show(a_) + "\", expected \"" + show(e_) + "\"");                         \
    } while (0)

// Runs `steps`; the error number they fail with, or 0.
int errorOf(const std::function<void()> &steps)
{
    try {
        steps();
        return 0;
    } catch (const RuntimeError &e) {
        return e.number();
    }
}

// --- the user's locale, as Windows gives it -------------------------------------------------------

std::string localeText(LCTYPE what)
{
    wchar_t buf[16] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buf, 16) <= 0)
        return {};
    char out[64] = {};
    WideCharToMultiByte(CP_UTF8, 0, buf, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

char32_t firstCharacter(const std::string &utf8)
{
    wchar_t w[4] = {};
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w, 4);
    if (w[0] >= 0xD800 && w[0] < 0xDC00)
        return char32_t(0x10000 + ((w[0] - 0xD800) << 10) + (w[1] - 0xDC00));
    return char32_t(w[0]);
}

// --- the backend ------------------------------------------------------------------------------------

class FakeBackend;

// A native window that keeps its controls' state and says what it does.
class FakeWindow final : public NativeWindow {
public:
    FakeWindow(FakeBackend &backend, const WindowDesc &d, const WindowLayout &layout,
               WindowEvents events);
    ~FakeWindow() override;

    void place(const PixelRect &client) override;
    void map() override;
    void unmap() override;
    void focus(std::string_view control) override { focused = std::string(control); }
    std::string text(std::string_view control) const override
    {
        auto t = texts.find(control);
        return t == texts.end() ? std::string() : t->second;
    }
    void setText(std::string_view control, std::string_view text) override
    {
        texts.insert_or_assign(std::string(control), std::string(text));
    }
    std::int16_t value(std::string_view control) const override
    {
        auto v = values.find(control);
        return v == values.end() ? 0 : v->second;
    }
    void setValue(std::string_view control, std::int16_t value) override
    {
        values.insert_or_assign(std::string(control), value);
    }
    void setTimer(std::string_view control, std::int32_t interval, bool enabled) override
    {
        timers.insert_or_assign(std::string(control), TimerSetting{interval, enabled});
    }
    void stopTimers() override
    {
        for (auto &[name, timer] : timers)
            timer.enabled = false;
    }

    // What the user does: a click on a control (empty: the background), a timer's tick, a close
    // request. A check box toggles between 0 and 1 before its Click.
    void click(std::string_view control);
    bool tick(std::string_view timer);
    void requestClose();

    struct TimerSetting {
        std::int32_t interval = 0;
        bool enabled = false;
    };

    FakeBackend &backend;
    const WindowDesc &description;
    WindowLayout layout;
    WindowEvents events;
    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, std::int16_t, std::less<>> values;
    std::map<std::string, TimerSetting, std::less<>> timers;
    std::string focused;
    bool mapped = false;
    int inOwnEvent = 0;
};

class FakeBackend final : public Backend {
public:
    std::vector<std::string> log;         // create, place, map, unmap, destroy, in order
    std::vector<std::string> faults;      // rules the runtime broke
    std::vector<Monitor> screens{{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}, 96.0}};
    std::map<std::string, FakeWindow *, std::less<>> live; // by window name
    char32_t separator = U'.';
    std::vector<std::string> messages;

    std::unique_ptr<NativeWindow> createWindow(const WindowDesc &d, const WindowLayout &layout,
                                               WindowEvents events) override
    {
        return std::make_unique<FakeWindow>(*this, d, layout, std::move(events));
    }
    void dispose(std::unique_ptr<NativeWindow> window) override
    {
        m_disposed.push_back(std::move(window));
    }
    void post(std::function<void()> step) override { m_posted.push_back(std::move(step)); }
    std::vector<Monitor> monitors() const override { return screens; }
    Colour systemColour(int index) const override { return Colour(0x00010101u * unsigned(index)); }
    PixelSize textExtent(Kind, std::string_view, const Font &, double, double, int) const override
    {
        return {};
    }
    char32_t decimalSeparator() const override { return separator; }
    void showMessage(const std::string &text) override { messages.push_back(text); }

    // One turn of the event loop: the steps posted so far run in order, then the windows
    // disposed of go, as a toolkit deletes them once control is back in its loop.
    void turn()
    {
        std::deque<std::function<void()>> steps;
        steps.swap(m_posted);
        for (auto &step : steps)
            step();
        if (handlerRunning())
            faults.push_back("a handler is still running at the end of a turn");
        m_disposed.clear();
    }
    // Turns until nothing is posted any more.
    void settle()
    {
        for (int i = 0; i < 20 && (!m_posted.empty() || !m_disposed.empty()); ++i)
            turn();
    }

    FakeWindow *window(std::string_view name)
    {
        auto w = live.find(name);
        return w == live.end() ? nullptr : w->second;
    }

    // The screen's part of the log: what went on and off it.
    std::vector<std::string> screenLog() const
    {
        std::vector<std::string> out;
        for (const std::string &e : log)
            if (e.rfind("map ", 0) == 0 || e.rfind("unmap ", 0) == 0)
                out.push_back(e);
        return out;
    }

private:
    std::deque<std::function<void()>> m_posted;
    std::vector<std::unique_ptr<NativeWindow>> m_disposed;
};

FakeWindow::FakeWindow(FakeBackend &b, const WindowDesc &d, const WindowLayout &l,
                       WindowEvents e)
    : backend(b), description(d), layout(l), events(std::move(e))
{
    for (const ControlDesc &c : d.controls) {
        if (c.kind == Kind::Timer)
            timers.insert_or_assign(std::string(c.name), TimerSetting{c.interval, c.enabled});
        else if (c.kind == Kind::CheckBox)
            values.insert_or_assign(std::string(c.name), c.value);
        else if (c.kind != Kind::Line)
            texts.insert_or_assign(std::string(c.name), std::string(c.caption));
    }
    backend.log.push_back("create " + std::string(d.name));
    backend.live.insert_or_assign(std::string(d.name), this);
}

FakeWindow::~FakeWindow()
{
    const std::string name(description.name);
    if (handlerRunning())
        backend.faults.push_back(name + " destroyed while a handler runs");
    if (inOwnEvent)
        backend.faults.push_back(name + " destroyed inside one of its own events");
    backend.log.push_back("destroy " + name);
    auto w = backend.live.find(name);
    if (w != backend.live.end() && w->second == this)
        backend.live.erase(w);
}

void FakeWindow::place(const PixelRect &client)
{
    backend.log.push_back("place " + std::string(description.name) + " " + show(client));
}

void FakeWindow::map()
{
    if (!mapped)
        backend.log.push_back("map " + std::string(description.name));
    mapped = true;
}

void FakeWindow::unmap()
{
    if (mapped)
        backend.log.push_back("unmap " + std::string(description.name));
    mapped = false;
}

void FakeWindow::click(std::string_view control)
{
    auto box = values.find(control);
    if (box != values.end())
        box->second = box->second == 1 ? 0 : 1;
    ++inOwnEvent;
    auto lifetime = this->lifetime();
    events.event(control, Event::Click);
    if (auto self = lifetime.lock())
        --inOwnEvent;
}

bool FakeWindow::tick(std::string_view timer)
{
    auto t = timers.find(timer);
    if (t == timers.end() || !t->second.enabled || t->second.interval == 0)
        return false;
    ++inOwnEvent;
    auto lifetime = this->lifetime();
    events.event(timer, Event::Timer);
    if (auto self = lifetime.lock())
        --inOwnEvent;
    return true;
}

void FakeWindow::requestClose()
{
    ++inOwnEvent;
    auto lifetime = this->lifetime();
    events.closeRequest();
    if (auto self = lifetime.lock())
        --inOwnEvent;
}

// A program over the fake backend: a fresh registry, the error report and the end recorded.
struct Program {
    FakeBackend backend;
    Registry registry;
    std::vector<std::string> errors;
    std::vector<int> ends;
    ErrorPresenter previous;

    explicit Program(bool defineForms = true)
    {
        setBackend(&backend);
        if (defineForms)
            forms::defineWindows(registry);
        registry.setEndHandler([this](int code) { ends.push_back(code); });
        previous = setErrorPresenter(
            [this](const RuntimeError &error) { errors.emplace_back(error.what()); });
    }
    ~Program()
    {
        setErrorPresenter(std::move(previous));
        setBackend(nullptr);
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool start()
    {
        const bool running = startUp(registry);
        backend.settle();
        return running;
    }

    std::vector<std::string> visible() const
    {
        std::vector<std::string> names;
        for (const char *name : {"Form1", "Form2", "Form3", "frmAbout1"})
            if (registry.isVisible(name))
                names.emplace_back(name);
        return names;
    }

    FakeWindow *window(const char *name) { return backend.window(name); }

    // A user's action from the event loop, then the turns it leads to.
    void click(const char *window, const char *control = "")
    {
        FakeWindow *w = backend.window(window);
        check(w != nullptr, "window to click", __LINE__, std::string(window) + " is not there");
        if (w)
            w->click(control);
        backend.settle();
    }
    bool tick(const char *window, const char *timer)
    {
        FakeWindow *w = backend.window(window);
        const bool fired = w && w->tick(timer);
        backend.settle();
        return fired;
    }
    void close(const char *window)
    {
        FakeWindow *w = backend.window(window);
        check(w != nullptr, "window to close", __LINE__, std::string(window) + " is not there");
        if (w)
            w->requestClose();
        backend.settle();
    }
    void type(const char *window, const char *control, const std::string &text)
    {
        if (FakeWindow *w = backend.window(window))
            w->setText(control, text);
    }
};

// --- conversions --------------------------------------------------------------------------------------

void conversions()
{
    // What this build is about: a `long` of 32 bits, as on every Windows.
    CHECK_EQ(int(sizeof(long)), 4);

    for (const auto &row : textToDoubleAccepted()) {
        g_case = std::string("textToDouble accepted: ") + row.name;
        double value = 0;
        CHECK_EQ(errorOf([&] { value = textToDouble(row.text, row.separator); }), 0);
        CHECK_EQ(value, row.expected);
    }
    for (const auto &row : textToDoubleRejected()) {
        g_case = std::string("textToDouble rejected: ") + row.name;
        CHECK_EQ(errorOf([&] { textToDouble(row.text, row.separator); }), int(row.error));
    }
    for (const auto &row : textToIntegerCases()) {
        g_case = std::string("textToInteger: ") + row.name;
        int value = 0;
        CHECK_EQ(errorOf([&] { value = textToInteger(row.text); }), row.error);
        if (row.error == 0)
            CHECK_EQ(value, row.expected);
    }
    for (const auto &row : doubleToLongCases()) {
        g_case = std::string("doubleToLong: ") + row.name;
        std::int64_t value = -1;
        CHECK_EQ(errorOf([&] { value = doubleToLong(row.value); }),
                 row.overflow ? int(ErrorCode::Overflow) : 0);
        CHECK_EQ(value, row.expected);
    }
    for (const auto &row : checkedArithmeticCases()) {
        g_case = std::string("checked arithmetic: ") + row.name;
        double value = 0;
        const int error = errorOf([&] {
            value = row.operation == '*' ? checkedMultiply(row.a, row.b) : checkedAdd(row.a, row.b);
        });
        CHECK_EQ(error, row.overflow ? int(ErrorCode::Overflow) : 0);
        if (!row.overflow)
            CHECK_EQ(value, row.expected);
    }
    for (const auto &row : nextWaitCases()) {
        g_case = std::string("nextWait: ") + row.name;
        const auto remaining = std::chrono::nanoseconds(row.remainingNs);
        const auto wait = nextWait(remaining);
        CHECK_EQ(std::int64_t(wait.count()), row.expectedMs);
        if (wait.count() > 0)
            CHECK(std::chrono::nanoseconds(wait) * 1001 / 1000 < remaining);
    }
    g_case.clear();
    // The decimal text of the 32-bit extremes.
    CHECK_EQ(integerToText(-2147483647 - 1), std::string("-2147483648"));
    CHECK_EQ(integerToText(2147483647), std::string("2147483647"));
}

// --- the delay texts ----------------------------------------------------------------------------------

struct Typing {
    std::string decimal;
    std::string group;

    std::string operator()(const std::string &text) const
    {
        std::string out;
        for (char c : text)
            out += c == '.' ? decimal : c == ',' ? group : std::string(1, c);
        return out;
    }
};

void delayTexts(bool comma)
{
    const Typing typed{localeText(LOCALE_SDECIMAL), localeText(LOCALE_STHOUSAND)};
    std::printf("delay texts typed with the decimal separator \"%s\" and the group separator "
                "\"%s\" of the user's locale\n", typed.decimal.c_str(), typed.group.c_str());
    CHECK(!typed.decimal.empty() && !typed.group.empty() && typed.decimal != typed.group);
    if (comma)
        CHECK_EQ(typed.decimal, std::string(","));
    const char32_t separator = firstCharacter(typed.decimal);

    for (const auto &row : delayStartCases()) {
        g_case = std::string("Start: ") + row.name;
        Program p;
        p.backend.separator = separator;
        CHECK(p.start());
        const std::string text = typed(row.text);
        p.type("Form2", "Text1", text);
        p.click("Form2", "Command1");
        FakeWindow *form2 = p.window("Form2");
        CHECK(form2 != nullptr);
        if (!form2)
            continue;
        const auto timer = form2->timers["Timer1"];
        if (row.interval == Message) {
            CHECK_EQ(p.errors, std::vector<std::string>{row.error});
            CHECK_EQ(p.visible(), std::vector<std::string>{"Form2"});
            CHECK(form2->mapped);
            CHECK(!timer.enabled);
            CHECK_EQ(timer.interval, 0);
            CHECK_EQ(form2->text("Text1"), text);
            // ...and a usable delay afterwards still starts it.
            p.type("Form2", "Text1", "1");
            p.click("Form2", "Command1");
            CHECK_EQ(p.visible(), std::vector<std::string>{});
            CHECK_EQ(form2->timers["Timer1"].interval, 1001);
            CHECK(form2->timers["Timer1"].enabled);
        } else {
            CHECK_EQ(p.errors, std::vector<std::string>{});
            CHECK_EQ(p.visible(), std::vector<std::string>{});
            CHECK(!form2->mapped);
            CHECK(timer.enabled);
            CHECK_EQ(timer.interval, row.interval);
        }
        CHECK(p.ends.empty());
        CHECK_EQ(p.backend.faults, std::vector<std::string>{});
    }
    for (const auto &row : delayUpCases()) {
        g_case = std::string("Up: ") + row.name;
        Program p;
        p.backend.separator = separator;
        CHECK(p.start());
        p.type("Form2", "Text1", typed(row.text));
        p.click("Form2", "Command3");
        FakeWindow *form2 = p.window("Form2");
        CHECK(form2 != nullptr);
        if (!form2)
            continue;
        CHECK_EQ(form2->text("Text1"), typed(row.after));
        CHECK_EQ(p.errors, *row.error ? std::vector<std::string>{row.error}
                                      : std::vector<std::string>{});
        CHECK_EQ(p.visible(), std::vector<std::string>{"Form2"});
        CHECK(p.ends.empty());
    }
    g_case.clear();
}

// --- the lifecycle ------------------------------------------------------------------------------------

constexpr ControlDesc aControls[] = {
    {.name = "Text1", .kind = Kind::TextBox, .caption = "design", .rect = {0, 0, 900, 300},
     .tabIndex = 0},
    {.name = "Command1", .kind = Kind::CommandButton, .caption = "Go", .rect = {0, 400, 900, 300},
     .tabIndex = 1},
};
constexpr WindowDesc aWindow{.name = "A", .caption = "A", .client = {0, 0, 3000, 2000},
                             .controls = aControls};
constexpr WindowDesc bWindow{.name = "B", .caption = "B", .client = {0, 0, 3000, 2000}};

// A window whose handlers do what a case tells them.
class Scripted final : public Form {
public:
    explicit Scripted(const WindowDesc &d) : Form(d)
    {
        on("Command1", Event::Click, [this] {
            if (onClick)
                onClick();
        });
    }
    std::function<void()> onLoad, onUnload, onClick;

private:
    void Load() override
    {
        if (onLoad)
            onLoad();
    }
    void Unload() override
    {
        if (onUnload)
            onUnload();
    }
};

struct Fixture : Program {
    std::vector<std::string> trace;
    Fixture() : Program(false)
    {
        registry.define("A", [] { return std::make_unique<Scripted>(aWindow); });
        registry.define("B", [] { return std::make_unique<Scripted>(bWindow); });
        registry.setTrace([this](const std::string &e) { trace.push_back(e); });
    }
    Scripted &a() { return static_cast<Scripted &>(registry.window("A")); }
};

// One road through the program: the user's actions, then what came on and went off the screen,
// in order, and how the program ended (-1: it goes on).
struct Road {
    const char *name;
    std::vector<std::string> actions; // "click WINDOW[.CONTROL]", "tick WINDOW.TIMER",
                                      // "close WINDOW", "type TEXT"
    std::vector<std::string> screen;
    int end;
};

std::vector<Road> roads()
{
    const std::vector<std::string> start{"map Form2"};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> all = start;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    return {
        {"start-up", {}, start, -1},
        // The reveal dialog that the hidden Form1's Unload handler shows is unloaded by the
        // same Cancel: it never reaches the screen.
        {"Cancel", {"click Form2.Command2"}, with({"unmap Form2"}), 0},
        {"setup dialog closed", {"close Form2"}, with({"unmap Form2"}), 0},
        // The next window comes on the screen before the one it follows leaves it.
        {"None", {"click Form2.Check1", "click Form2.Command1", "click Form1", "click frmAbout1.cmdOK"},
         with({"map Form1", "unmap Form2", "map frmAbout1", "unmap Form1", "unmap frmAbout1"}), 0},
        {"None, the text clicked", {"click Form2.Check1", "click Form2.Command1", "click Form1.Label1",
                                    "close frmAbout1"},
         with({"map Form1", "unmap Form2", "map frmAbout1", "unmap Form1", "unmap frmAbout1"}), 0},
        {"fake screen closed", {"click Form2.Check1", "click Form2.Command1", "close Form1"},
         with({"map Form1", "unmap Form2", "map frmAbout1", "unmap Form1"}), -1},
        {"delay", {"click Form2.Command1", "tick Form2.Timer1", "click Form1", "click frmAbout1.cmdOK"},
         with({"unmap Form2", "map Form1", "map frmAbout1", "unmap Form1", "unmap frmAbout1"}), 0},
        {"delay, the dialog's timer ticks once", {"click Form2.Command1", "tick Form2.Timer1",
                                                  "tick Form2.Timer1"},
         with({"unmap Form2", "map Form1"}), -1},
        // Clicks and close requests leave the timed screen as it is.
        {"Timer", {"click Form2.Check2", "click Form2.Command1", "click Form3", "click Form3.Label1",
                   "close Form3", "tick Form3.Timer1", "click frmAbout1.cmdOK"},
         with({"map Form3", "unmap Form2", "map frmAbout1", "unmap Form3", "unmap frmAbout1"}), 0},
        {"Timer wins over None", {"click Form2.Check1", "click Form2.Check2", "click Form2.Command1"},
         with({"map Form3", "unmap Form2"}), -1},
        {"a delay the program cannot use", {"type abc", "click Form2.Command1", "click Form2.Command3",
                                            "click Form2.Command4", "click Form2.Command2"},
         with({"unmap Form2"}), 0},
    };
}

void split(const std::string &action, std::string &verb, std::string &window, std::string &control)
{
    const auto space = action.find(' ');
    verb = action.substr(0, space);
    const std::string target = action.substr(space + 1);
    const auto dot = target.find('.');
    window = target.substr(0, dot);
    control = dot == std::string::npos ? std::string() : target.substr(dot + 1);
}

void lifecycle()
{
    for (const auto &row : operationsCases()) {
        g_case = std::string("operations: ") + row.name;
        Fixture f;
        f.registry.show("B"); // another window keeps the program alive
        f.trace.clear();
        for (const std::string &op : row.ops) {
            if (op == "show")
                f.registry.show("A");
            else if (op == "hide")
                f.registry.hide("A");
            else
                f.registry.unload("A");
        }
        CHECK_EQ(f.trace, row.events);
        const std::string now = !f.registry.isLoaded("A")  ? "unloaded"
                                : f.registry.isVisible("A") ? "visible"
                                                            : "hidden";
        CHECK_EQ(now, row.state);
        CHECK(f.ends.empty());
    }

    for (const Road &road : roads()) {
        g_case = std::string("road: ") + road.name;
        Program p;
        CHECK(p.start());
        for (const std::string &action : road.actions) {
            std::string verb, window, control;
            split(action, verb, window, control);
            if (verb == "click")
                p.click(window.c_str(), control.c_str());
            else if (verb == "tick")
                p.tick(window.c_str(), control.c_str());
            else if (verb == "close")
                p.close(window.c_str());
            else if (verb == "type")
                p.type("Form2", "Text1", window);
        }
        CHECK_EQ(p.backend.screenLog(), road.screen);
        CHECK_EQ(p.ends, road.end < 0 ? std::vector<int>{} : std::vector<int>{road.end});
        CHECK_EQ(p.backend.faults, std::vector<std::string>{});
        if (road.end >= 0)
            CHECK_EQ(p.registry.loadedCount(), 0);
    }

    g_case = "placing";
    {
        // The setup dialog centred on the primary monitor, the reveal dialog at its offset from
        // the monitor's corner; the covers are not placed, they are made over their monitor.
        Program p;
        p.backend.screens = {{{1280, 200, 1024, 768}, {1280, 200, 1024, 768}, 96.0},
                             {{0, 0, 1280, 1024}, {0, 0, 1280, 1024}, 96.0}};
        p.start();
        p.click("Form2", "Check1");
        p.click("Form2", "Command1");
        CHECK_EQ(p.window("Form1") ? show(p.window("Form1")->layout.frame) : std::string(),
                 show(PixelRect{1280, 200, 1024, 768}));
        p.click("Form1");
        std::vector<std::string> places;
        for (const std::string &e : p.backend.log)
            if (e.rfind("place ", 0) == 0)
                places.push_back(e);
        CHECK_EQ(places, (std::vector<std::string>{"place Form2 394x304+1595+432",
                                                   "place frmAbout1 382x237+1436+329"}));
    }

    g_case = "a failing handler ends the program with 1 after the report";
    {
        Fixture f;
        f.registry.show("A");
        f.backend.settle();
        std::vector<std::string> steps;
        f.a().onClick = [&] {
            steps.push_back("first");
            Timer(f.a(), "NoSuchTimer").setInterval(1);
            steps.push_back("never");
        };
        f.click("A", "Command1");
        CHECK_EQ(steps, std::vector<std::string>{"first"});
        CHECK_EQ(f.errors.size(), std::size_t(1));
        CHECK(!f.errors.empty() && f.errors.front().rfind("Object required", 0) == 0);
        CHECK_EQ(f.ends, std::vector<int>{1});
    }

    g_case = "an event during a handler waits for it";
    {
        Fixture f;
        f.registry.show("B");
        f.registry.show("A");
        f.backend.settle();
        std::vector<std::string> steps;
        f.a().onClick = [&] {
            steps.push_back("begin " + std::to_string(steps.size()));
            // A click that arrives while this handler runs, as one would through a message box.
            if (steps.size() == 1)
                f.window("A")->click("Command1");
            steps.push_back("end");
        };
        f.window("A")->click("Command1");
        CHECK_EQ(steps, (std::vector<std::string>{"begin 0", "end"}));
        f.backend.turn();
        CHECK_EQ(steps, (std::vector<std::string>{"begin 0", "end", "begin 2", "end"}));
        // One that arrives for a window the running handler unloads goes with the window.
        f.a().onClick = [&] {
            steps.push_back("unloading");
            f.window("A")->click("Command1");
            unload("A");
        };
        steps.clear();
        f.click("A", "Command1");
        CHECK_EQ(steps, std::vector<std::string>{"unloading"});
        CHECK(f.ends.empty());
        CHECK_EQ(f.backend.faults, std::vector<std::string>{});
    }

    g_case = "the last unload ends the program once its handler has finished";
    {
        Fixture f;
        f.registry.show("A");
        f.backend.settle();
        std::vector<std::string> steps;
        f.a().onClick = [&] {
            steps.push_back("before");
            unload("A");
            steps.push_back(f.ends.empty() ? "after" : "after, program ending");
        };
        f.click("A", "Command1");
        CHECK_EQ(steps, (std::vector<std::string>{"before", "after, program ending"}));
        CHECK_EQ(f.ends, std::vector<int>{0});
        CHECK_EQ(f.backend.faults, std::vector<std::string>{});
    }

    g_case = "disabling the timer of an unloaded window does nothing; its interval is checked";
    {
        Program p;
        p.start();
        Form &form2 = p.registry.window("Form2");
        CHECK_EQ(errorOf([&] { Timer(form2, "Timer1").setInterval(65535); }), 0);
        CHECK_EQ(errorOf([&] { Timer(form2, "Timer1").setInterval(65536); }),
                 int(ErrorCode::InvalidPropertyValue));
        CHECK_EQ(errorOf([&] { Timer(form2, "Timer1").setInterval(-1); }),
                 int(ErrorCode::InvalidPropertyValue));
        CHECK_EQ(p.window("Form2") ? p.window("Form2")->timers["Timer1"].interval : -1, 65535);
        p.click("Form2", "Check1");
        p.click("Form2", "Command1");
        CHECK(!p.registry.isLoaded("Form2"));
        CHECK_EQ(errorOf([&] { Timer(form2, "Timer1").setEnabled(false); }), 0);
        CHECK_EQ(errorOf([&] { Timer(form2, "Timer1").setEnabled(true); }),
                 int(ErrorCode::ObjectRequired));
    }
    g_case.clear();
}

} // namespace

int main(int argc, char **argv)
{
    const std::string phase = argc > 1 ? argv[1] : "";
    const bool comma = argc > 2 && std::string(argv[2]) == "comma";
    if (phase == "conversions")
        conversions();
    else if (phase == "delaytexts")
        delayTexts(comma);
    else if (phase == "lifecycle")
        lifecycle();
    else {
        std::printf("usage: runtime_wine_tests.exe conversions|delaytexts|lifecycle [comma]\n");
        return 2;
    }
    std::printf("%s: %d passed, %d failed\n", phase.c_str(), g_passed, g_failed);
    std::fflush(stdout);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}
