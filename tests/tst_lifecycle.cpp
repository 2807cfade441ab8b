// SPDX-License-Identifier: MIT
// The registry's rules, on small windows made for the test: when handlers run, in what order, and
// when the program ends.

#include "AccessibleText.h"
#include "Controls.h"
#include "Form1.h"
#include "Form2.h"
#include "Form3.h"
#include "Harness.h"
#include "Hiding.h"
#include "Layout.h"
#include "LifecycleCases.h"
#include "Look.h"
#include "frmAbout1.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

using namespace quill;
using namespace quill::test;

namespace {

constexpr ControlDesc aControls[] = {
    {.name = "Text1", .kind = Kind::TextBox, .caption = "design", .rect = {0, 0, 900, 300},
     .tabIndex = 0},
    {.name = "Command1", .kind = Kind::CommandButton, .caption = "Go",
     .rect = {0, 400, 900, 300}, .tabIndex = 1},
};
constexpr WindowDesc aWindow{.name = "A", .caption = "A", .client = {0, 0, 3000, 2000},
                             .controls = aControls};
constexpr WindowDesc bWindow{.name = "B", .caption = "B", .client = {0, 0, 3000, 2000}};

// A window whose handlers do what a test tells them, and say what they did.
class Scripted final : public Form {
public:
    Scripted(const WindowDesc &d, std::vector<std::string> &log) : Form(d), m_log(log)
    {
        on("Command1", Event::Click, [this] { run(onClick); });
    }

    std::function<void()> onLoad, onUnload, onClick;

private:
    void run(const std::function<void()> &steps)
    {
        if (steps)
            steps();
    }
    void Load() override { run(onLoad); }
    void Unload() override { run(onUnload); }

    std::vector<std::string> &m_log;
};

struct Fixture : Program {
    Fixture() : Program(false)
    {
        registry.define("A", [this] { return std::make_unique<Scripted>(aWindow, trace); });
        registry.define("B", [this] { return std::make_unique<Scripted>(bWindow, trace); });
    }
    Scripted &a() { return static_cast<Scripted &>(registry.window("A")); }
    Scripted &b() { return static_cast<Scripted &>(registry.window("B")); }
};

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareTestApplication(); }
    void cleanup();

    void operations_data();
    void operations();
    void unloadOfUnloadedWindowDoesNothing();
    void showingALoadedHiddenWindowDoesNotLoadAgain();
    void reloadStartsFromTheDescription();
    void lastUnloadEndsAfterTheHandlerFinishes();
    void unloadHandlerShowingAnotherWindow();
    void hidingEverythingDoesNotEnd();
    void failingHandlerEndsWithTheReport();
    void unloadInsideOwnUnloadHandler();
    void unknownWindowIsAnError();
    void eventDuringAHandlerWaits();
    void firstPlace_data();
    void firstPlace();
    void coversLaidOverMonitors();
    void hidingAndDeleting_data();
    void hidingAndDeleting();
    void readableText_data();
    void readableText();
    void heardAs_data();
    void heardAs();
    void tabOrder_data();
    void tabOrder();
    void platformOnWayland_data();
    void platformOnWayland();
    void sessionBus_data();
    void sessionBus();
};

void TestLifecycle::cleanup()
{
    flushDeletes();
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void TestLifecycle::operations_data()
{
    // Each row: operations on A, then the expected events and the state A ends in.
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("state");

    auto list = [](const std::vector<std::string> &items) {
        QStringList out;
        for (const std::string &item : items)
            out << QString::fromStdString(item);
        return out;
    };
    for (const auto &row : operationsCases())
        QTest::newRow(row.name) << list(row.ops) << list(row.events)
                                << QString::fromStdString(row.state);
}

void TestLifecycle::operations()
{
    QFETCH(QStringList, ops);
    QFETCH(QStringList, events);
    QFETCH(QString, state);

    Fixture f;
    f.registry.show("B"); // another window keeps the program alive
    f.trace.clear();
    for (const QString &op : ops) {
        if (op == "show")
            f.registry.show("A");
        else if (op == "hide")
            f.registry.hide("A");
        else
            f.registry.unload("A");
    }
    QStringList seen;
    for (const auto &e : f.trace)
        seen << QString::fromStdString(e);
    QCOMPARE(seen, events);
    const QString now = !f.registry.isLoaded("A")  ? "unloaded"
                        : f.registry.isVisible("A") ? "visible"
                                                    : "hidden";
    QCOMPARE(now, state);
    QVERIFY(!f.ended());
}

void TestLifecycle::unloadOfUnloadedWindowDoesNothing()
{
    Fixture f;
    f.registry.show("B");
    int unloads = 0;
    f.a().onUnload = [&] { ++unloads; };
    f.registry.unload("A");
    QCOMPARE(unloads, 0);
    f.registry.show("A");
    f.registry.unload("A");
    f.registry.unload("A");
    QCOMPARE(unloads, 1);
    QVERIFY(!f.ended());
}

void TestLifecycle::showingALoadedHiddenWindowDoesNotLoadAgain()
{
    Fixture f;
    int loads = 0;
    f.a().onLoad = [&] { ++loads; };
    f.registry.hide("A");
    QVERIFY(!f.registry.isVisible("A"));
    f.registry.show("A");
    f.registry.show("A");
    QCOMPARE(loads, 1);
    QVERIFY(f.registry.isVisible("A"));
}

void TestLifecycle::reloadStartsFromTheDescription()
{
    Fixture f;
    f.registry.show("B");
    f.registry.show("A");
    TextBox text(f.a(), "Text1");
    text.setText("edited");
    f.registry.unload("A");
    QVERIFY_THROWS_EXCEPTION(RuntimeError, text.text());
    f.registry.show("A");
    QCOMPARE(text.text(), std::string("design"));
}

void TestLifecycle::lastUnloadEndsAfterTheHandlerFinishes()
{
    Fixture f;
    f.registry.show("A");
    std::vector<std::string> steps;
    f.a().onClick = [&] {
        steps.push_back("before");
        unload("A");
        steps.push_back(f.ended() ? "after, program ending" : "after");
    };
    click(qobject_cast<QWidget *>(qt::controlOf(f.a(), "Command1")));
    QCOMPARE(steps, (std::vector<std::string>{"before", "after, program ending"}));
    QCOMPARE(f.endCount, 1);
    QCOMPARE(f.endCode, 0);
}

void TestLifecycle::unloadHandlerShowingAnotherWindow()
{
    Fixture f;
    f.registry.show("A");
    f.a().onUnload = [] { show("B"); };
    f.registry.unload("A");
    QVERIFY(f.registry.isVisible("B"));
    QVERIFY(!f.ended());
    f.registry.unload("B");
    QCOMPARE(f.endCount, 1);
}

void TestLifecycle::hidingEverythingDoesNotEnd()
{
    Fixture f;
    f.registry.show("A");
    f.registry.show("B");
    f.registry.hide("A");
    f.registry.hide("B");
    QVERIFY(!f.ended());
    QCOMPARE(f.registry.loadedCount(), 2);
    f.registry.unload("A");
    QVERIFY(!f.ended());
    f.registry.unload("B");
    QVERIFY(f.ended());
}

void TestLifecycle::failingHandlerEndsWithTheReport()
{
    Fixture f;
    f.registry.show("A");
    std::vector<std::string> steps;
    f.a().onClick = [&] {
        steps.push_back("first");
        TextBox(f.a(), "Text1").setText(std::string(1, '7'));
        Timer(f.a(), "NoSuchTimer").setInterval(1); // not a control of this window
        steps.push_back("never");
    };
    click(qobject_cast<QWidget *>(qt::controlOf(f.a(), "Command1")));
    QCOMPARE(steps, std::vector<std::string>{"first"});
    QCOMPARE(f.errors.size(), std::size_t(1));
    QVERIFY(QString::fromStdString(f.errors.front()).startsWith("Object required"));
    QCOMPARE(f.endCode, 1);
    f.registry.unload("A");
}

void TestLifecycle::unloadInsideOwnUnloadHandler()
{
    Fixture f;
    f.registry.show("B");
    f.registry.show("A");
    int unloads = 0;
    f.a().onUnload = [&] {
        ++unloads;
        unload("A");
    };
    f.registry.unload("A");
    QCOMPARE(unloads, 1);
    QVERIFY(!f.registry.isLoaded("A"));
}

void TestLifecycle::unknownWindowIsAnError()
{
    Fixture f;
    QVERIFY_THROWS_EXCEPTION(RuntimeError, f.registry.show("Form9"));
}

void TestLifecycle::eventDuringAHandlerWaits()
{
    Fixture f;
    f.registry.show("A");
    settle();
    auto *button = qobject_cast<QWidget *>(qt::controlOf(f.a(), "Command1"));
    QVERIFY(button);
    std::vector<std::string> steps;
    f.a().onClick = [&] {
        steps.push_back("begin " + std::to_string(steps.size()));
        // A click that arrives while this handler runs, as one would through a message box.
        if (steps.size() == 1)
            QTest::mouseClick(button, Qt::LeftButton);
        steps.push_back("end");
    };
    click(button);
    QCOMPARE(steps, (std::vector<std::string>{"begin 0", "end"}));
    settle();
    QCOMPARE(steps, (std::vector<std::string>{"begin 0", "end", "begin 2", "end"}));

    // One that arrives for a window the running handler unloads is dropped with the window.
    f.registry.show("B");
    f.a().onClick = [&] {
        steps.push_back("unloading");
        QTest::mouseClick(button, Qt::LeftButton);
        unload("A");
    };
    steps.clear();
    click(button);
    settle();
    QCOMPARE(steps, std::vector<std::string>{"unloading"});
    QVERIFY(!f.ended());
}

void TestLifecycle::firstPlace_data()
{
    QTest::addColumn<int>("startUp");   // StartUpPosition
    QTest::addColumn<QRect>("client");  // twips
    QTest::addColumn<QRect>("monitor"); // pixels
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QRect>("expected"); // the client area; empty when the window is not placed

    const QRect screen(0, 0, 1280, 1024);
    const auto centre = int(StartUpPosition::CenterScreen);
    const auto manual = int(StartUpPosition::Manual);
    QTest::newRow("centred") << centre << QRect(45, 330, 5910, 4560) << screen << screen << 96.0
                             << QRect(443, 360, 394, 304);
    QTest::newRow("centred at 144 dpi") << centre << QRect(45, 330, 5910, 4560) << screen << screen
                                        << 144.0 << QRect(344, 284, 591, 456);
    QTest::newRow("centred on a primary right of the origin")
        << centre << QRect(0, 0, 1500, 1500) << QRect(1280, 200, 1024, 768)
        << QRect(1280, 200, 1024, 768) << 96.0 << QRect(1742, 534, 100, 100);
    QTest::newRow("centred, a panel at the top pushes it down")
        << centre << QRect(0, 0, 15000, 15000) << QRect(0, 0, 1280, 1024)
        << QRect(0, 600, 1280, 424) << 96.0 << QRect(140, 600, 1000, 1000);
    QTest::newRow("manual at its offset") << manual << QRect(600, 300, 1500, 1500) << screen
                                          << screen << 96.0 << QRect(40, 20, 100, 100);
    QTest::newRow("manual kept inside the right and bottom")
        << manual << QRect(18000, 15000, 1500, 1500) << screen << QRect(0, 0, 1280, 984) << 96.0
        << QRect(1180, 884, 100, 100);
    QTest::newRow("larger than the work area keeps its corner in it")
        << manual << QRect(0, 0, 30000, 30000) << screen << QRect(0, 40, 1280, 984) << 96.0
        << QRect(0, 40, 2000, 2000);
    QTest::newRow("system default is not placed")
        << int(StartUpPosition::SystemDefault) << QRect(0, 0, 1500, 1500) << screen << screen
        << 96.0 << QRect();
}

void TestLifecycle::firstPlace()
{
    QFETCH(int, startUp);
    QFETCH(QRect, client);
    QFETCH(QRect, monitor);
    QFETCH(QRect, workArea);
    QFETCH(double, dpi);
    QFETCH(QRect, expected);

    const WindowDesc d{.name = "P", .startUp = StartUpPosition(startUp),
                       .client = {client.x(), client.y(), client.width(), client.height()}};
    auto pixels = [](QRect r) { return PixelRect{r.x(), r.y(), r.width(), r.height()}; };
    const auto placed = quill::firstPlace(d, Monitor{pixels(monitor), pixels(workArea), dpi});
    QCOMPARE(placed.has_value(), !expected.isNull());
    if (placed)
        QCOMPARE(toQRect(*placed), expected);
}

// The order Tab goes through each window's controls, which both backends take from the runtime;
// the first one has the focus when the window is shown.
void TestLifecycle::tabOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("setup dialog") << "Form2"
                                  << QStringList{"Command1", "Command2", "Text1", "Check1",
                                                 "Command3", "Command4", "Check2"};
    QTest::newRow("reveal dialog") << "frmAbout1" << QStringList{"cmdOK", "Picture1"};
    QTest::newRow("click-dismissed screen: labels only") << "Form1" << QStringList{};
    QTest::newRow("timed screen: a label and a timer") << "Form3" << QStringList{};
}

// A fresh form of the program by its name.
static std::unique_ptr<Form> formNamed(const QString &window)
{
    if (window == "Form1")
        return std::make_unique<forms::Form1>();
    if (window == "Form2")
        return std::make_unique<forms::Form2>();
    if (window == "Form3")
        return std::make_unique<forms::Form3>();
    return std::make_unique<forms::frmAbout1>();
}

void TestLifecycle::tabOrder()
{
    QFETCH(QString, window);
    QFETCH(QStringList, order);
    const std::unique_ptr<Form> form = formNamed(window);
    QStringList names;
    for (const ControlDesc *c : quill::tabOrder(form->description()))
        names << QString::fromUtf8(c->name.data(), qsizetype(c->name.size()));
    QCOMPARE(names, order);
}

void TestLifecycle::coversLaidOverMonitors()
{
    const std::vector<Monitor> monitors{{{1280, 200, 1024, 768}, {}, 96},
                                        {{0, 0, 1280, 1024}, {}, 96},
                                        {{1280, 968, 800, 600}, {}, 96}};
    const auto places = layCovers(monitors);
    QCOMPARE(places.size(), std::size_t(3));
    // The form's own window on the primary monitor, the first; a cover filling each other one.
    for (std::size_t i = 0; i < places.size(); ++i) {
        QCOMPARE(places[i].formWindow, i == 0);
        QCOMPARE(toQRect(places[i].rect), toQRect(monitors[i].geometry));
    }
    // Without a monitor the form still gets a screen to fill.
    const Monitor none = primaryMonitor({});
    QCOMPARE(toQRect(none.geometry), QRect(0, 0, 640, 480));
    QCOMPARE(layCovers({}).size(), std::size_t(0));
}

namespace {

// A top-level window that counts its paints and says whether it was hidden before it went.
class Watched : public QWidget {
public:
    int paints = 0;
    bool *hiddenWhenDeleted = nullptr;
    ~Watched() override
    {
        if (hiddenWhenDeleted)
            *hiddenWhenDeleted = !isVisible();
    }

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

// A window hidden or deleted at once where the platform allows it (X11), or, as on Wayland, once
// Qt has delivered the update requests that say no frame of it waits for the compositor's answer:
// it draws nothing meanwhile, a showing called for meanwhile keeps it up, and it is deleted only
// once it is hidden. (Offscreen, update requests come by a timer.)
void TestLifecycle::hidingAndDeleting_data()
{
    QTest::addColumn<bool>("afterLastFrame");
    QTest::addColumn<QString>("then");        // hide, show again, delete now, delete later
    QTest::addColumn<bool>("goneAtOnce");     // hidden (deleted) before the event loop turns
    QTest::addColumn<bool>("staysShown");

    QTest::newRow("hidden at once") << false << "hide" << true << false;
    QTest::newRow("hidden after the last frame") << true << "hide" << false << false;
    QTest::newRow("shown again while it waits") << true << "show again" << false << true;
    QTest::newRow("deleted at once") << false << "delete now" << true << false;
    QTest::newRow("deleted at the next turn") << false << "delete later" << false << false;
    QTest::newRow("deleted once hidden") << true << "delete later" << false << false;
    QTest::newRow("deleted once hidden, asked at once") << true << "delete now" << false << false;
}

void TestLifecycle::hidingAndDeleting()
{
    QFETCH(bool, afterLastFrame);
    QFETCH(QString, then);
    QFETCH(bool, goneAtOnce);
    QFETCH(bool, staysShown);
    using namespace std::chrono_literals;
    // No give-up in sight: the window goes on the update requests alone.
    const Hiding how{.afterLastFrame = afterLastFrame, .answerWait = 60s, .deleteAfter = 0ms};

    bool hiddenWhenDeleted = false;
    QPointer<Watched> window = new Watched;
    window->hiddenWhenDeleted = &hiddenWhenDeleted;
    window->resize(200, 100);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_VERIFY(window->paints > 0);
    window->paints = 0;

    const bool deleting = then.startsWith(QLatin1String("delete"));
    if (deleting)
        deleteWindow(window, then == QLatin1String("delete now") ? Deletion::Now : Deletion::Later,
                     how);
    else
        hideWindow(window, how);
    if (then == QLatin1String("show again")) {
        keepShown(window);
        window->show();
    }
    QCOMPARE(deleting ? window.isNull() : !window->isVisible(), goneAtOnce);
    if (!window)
        return;
    window->repaint();

    if (staysShown) {
        QTRY_VERIFY(window->paints > 0);
        QVERIFY(window->isVisible());
        delete window.data();
        return;
    }
    if (deleting) {
        flushDeletes();
        QTRY_VERIFY(window.isNull());
        QVERIFY(hiddenWhenDeleted || !afterLastFrame);
        return;
    }
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(window->paints, 0);
    delete window.data();
}

// The colour a label's text is drawn in on its background, both 0x00BBGGRR: the scheme's own
// where it reads (3 to 1 or more), else black or white, whichever stands out more.
void TestLifecycle::readableText_data()
{
    QTest::addColumn<uint>("text");
    QTest::addColumn<uint>("back");
    QTest::addColumn<uint>("drawn");

    const uint black = 0x000000, white = 0xFFFFFF;
    QTest::newRow("white on the classic teal stays") << white << 0x808000u << white;
    QTest::newRow("white on Wine's blue desktop stays") << white << 0x956F25u << white;
    QTest::newRow("yellow on black, a high-contrast scheme's own, stays")
        << 0x00FFFFu << black << 0x00FFFFu;
    QTest::newRow("black on button grey stays") << black << 0xF0F0F0u << black;
    QTest::newRow("the same black: white") << black << black << white;
    QTest::newRow("the same white: black") << white << white << black;
    QTest::newRow("the same navy: white") << 0x800000u << 0x800000u << white;
    QTest::newRow("the same yellow: black") << 0x00FFFFu << 0x00FFFFu << black;
    QTest::newRow("the same mid grey: black, a little more than white") << 0x808080u << 0x808080u
                                                                         << black;
    QTest::newRow("near-white on white: black") << 0xF0F0F0u << white << black;
    QTest::newRow("black on dark red: white") << black << 0x000080u << white;
    // Either side of 3 to 1: white on #949494 is 3.04, on #959595 2.99.
    QTest::newRow("white on #949494 still reads") << white << 0x949494u << white;
    QTest::newRow("white on #959595 no longer does: black") << white << 0x959595u << black;
    QTest::newRow("the top byte is no colour") << 0xFF000000u << 0x01FFFFFFu << black;
}

void TestLifecycle::readableText()
{
    QFETCH(uint, text);
    QFETCH(uint, back);
    QFETCH(uint, drawn);
    QCOMPARE(uint(readableOn(text, back)), drawn);
    // Whatever is drawn reads on its background.
    QVERIFY(contrast(readableOn(text, back), back & 0xFFFFFF) >= LeastContrast);
}

// What a screen reader is told each control is called, which both backends take from the runtime:
// a control paired with a label by that label, a picture by words, the rest by their captions.
void TestLifecycle::heardAs_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control"); // empty for the window itself
    QTest::addColumn<QString>("name");    // for the window: "dialog" or "window"
    QTest::addColumn<QString>("description");
    QTest::newRow("setup dialog") << "Form2" << "" << "dialog" << "";
    QTest::newRow("delay box") << "Form2" << "Text1" << "Seconds" << "";
    QTest::newRow("> button") << "Form2" << "Command3" << "UP" << "";
    QTest::newRow("< button") << "Form2" << "Command4" << "DOWN" << "";
    QTest::newRow("None box, caption cut off") << "Form2" << "Check1" << "None" << "";
    QTest::newRow("Timer box") << "Form2" << "Check2" << "Timer" << "";
    QTest::newRow("Start") << "Form2" << "Command1" << "Start" << "";
    QTest::newRow("a label") << "Form2" << "Label3" << "Seconds" << "";
    QTest::newRow("click-dismissed screen") << "Form1" << "" << "window" << "";
    QTest::newRow("its message") << "Form1" << "Label1"
                                 << "Please Wait While Your Computer Shuts Down" << "";
    QTest::newRow("timed screen") << "Form3" << "" << "window" << "";
    QTest::newRow("reveal dialog") << "frmAbout1" << "" << "dialog" << "";
    QTest::newRow("question mark") << "frmAbout1" << "Picture1" << "Question mark"
                                   << "A blue question mark in a ring";
    QTest::newRow("OK") << "frmAbout1" << "cmdOK" << "OK" << "";
}

void TestLifecycle::heardAs()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, description);
    const std::unique_ptr<Form> form = formNamed(window);
    const WindowDesc &d = form->description();
    auto q = [](std::string_view t) { return QString::fromUtf8(t.data(), qsizetype(t.size())); };
    if (control.isEmpty()) {
        QCOMPARE(windowRole(d) == WindowRole::Dialog ? QString("dialog") : QString("window"), name);
        return;
    }
    const auto c = std::find_if(d.controls.begin(), d.controls.end(),
                                [&](const ControlDesc &c) { return q(c.name) == control; });
    QVERIFY(c != d.controls.end());
    const AccessibleText heard = accessibleText(d, *c);
    QCOMPARE(q(heard.name), name);
    QCOMPARE(q(heard.description), description);
}

void TestLifecycle::platformOnWayland_data()
{
    QTest::addColumn<QString>("wayland");     // WAYLAND_DISPLAY
    QTest::addColumn<QString>("session");     // XDG_SESSION_TYPE
    QTest::addColumn<QString>("display");     // DISPLAY
    QTest::addColumn<QString>("chosen");      // QT_QPA_PLATFORM the user set
    QTest::addColumn<QString>("sway");        // SWAYSOCK
    QTest::addColumn<QString>("expected");    // QT_QPA_PLATFORM afterwards

    QTest::newRow("Wayland with XWayland") << "wayland-0" << "wayland" << ":0" << "" << "" << "xcb";
    QTest::newRow("Wayland session type only") << "" << "wayland" << ":1" << "" << "" << "xcb";
    QTest::newRow("Wayland without XWayland") << "wayland-0" << "wayland" << "" << "" << ""
                                              << "wayland";
    QTest::newRow("Wayland display, no session type") << "wayland-1" << "" << "" << "" << ""
                                                      << "wayland";
    QTest::newRow("Wayland session type, no names") << "" << "wayland" << "" << "" << ""
                                                    << "wayland";
    QTest::newRow("sway with XWayland") << "wayland-1" << "wayland" << ":0" << ""
                                        << "/run/user/1000/sway-ipc.sock" << "wayland";
    QTest::newRow("sway without XWayland") << "wayland-1" << "" << "" << ""
                                           << "/run/user/1000/sway-ipc.sock" << "wayland";
    QTest::newRow("plain X11") << "" << "x11" << ":0" << "" << "" << "";
    QTest::newRow("no display at all") << "" << "" << "" << "" << "" << "";
    QTest::newRow("user's choice kept") << "wayland-0" << "wayland" << ":0" << "wayland" << ""
                                        << "wayland";
    QTest::newRow("user's X11 kept under sway") << "wayland-1" << "wayland" << ":0" << "xcb"
                                                << "/run/user/1000/sway-ipc.sock" << "xcb";
}

void TestLifecycle::platformOnWayland()
{
    QFETCH(QString, wayland);
    QFETCH(QString, session);
    QFETCH(QString, display);
    QFETCH(QString, chosen);
    QFETCH(QString, sway);
    QFETCH(QString, expected);

    const QByteArray names[] = {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DISPLAY", "QT_QPA_PLATFORM",
                                "SWAYSOCK"};
    QByteArray saved[5];
    for (int i = 0; i < 5; ++i)
        saved[i] = qgetenv(names[i].constData());
    const QString values[] = {wayland, session, display, chosen, sway};
    for (int i = 0; i < 5; ++i) {
        if (values[i].isEmpty())
            qunsetenv(names[i].constData());
        else
            qputenv(names[i].constData(), values[i].toUtf8());
    }
    choosePlatform();
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 0; i < 5; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i].constData());
        else
            qputenv(names[i].constData(), saved[i]);
    }
    QCOMPARE(platform, expected);
}

void TestLifecycle::sessionBus_data()
{
    QTest::addColumn<QByteArray>("named");    // DBUS_SESSION_BUS_ADDRESS; null when unset
    QTest::addColumn<QByteArray>("expected"); // afterwards
    QTest::addColumn<bool>("setHere");        // left out of the programs this one starts

    QTest::newRow("no bus") << QByteArray() << QByteArray("disabled:") << true;
    QTest::newRow("empty") << QByteArray("") << QByteArray("disabled:") << true;
    QTest::newRow("desktop session's bus") << QByteArray("unix:path=/run/user/1000/bus")
                                           << QByteArray("unix:path=/run/user/1000/bus") << false;
    QTest::newRow("disabled by the user") << QByteArray("disabled:") << QByteArray("disabled:")
                                          << false;
}

void TestLifecycle::sessionBus()
{
    QFETCH(QByteArray, named);
    QFETCH(QByteArray, expected);
    QFETCH(bool, setHere);

    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (named.isNull())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", named);
    stayOffAbsentSessionBus();
    const QByteArray after = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const std::vector<std::string> own = variablesSetForThisProgram();
    if (saved.isNull())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    QCOMPARE(after, expected);
    QCOMPARE(own, setHere ? std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS"}
                          : std::vector<std::string>{});
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
