// SPDX-License-Identifier: MIT
// The setup dialog and the click-dismissed screen, driven as a user drives them: clicks and keys on
// the real widgets, with the delay timer fired from the test.

#include "Harness.h"
#include "Widgets.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

using namespace quill;
using namespace quill::test;

class TestSetupDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startUpState();
    void stepping_data();
    void stepping();
    void noneTickAndUntick_data();
    void noneTickAndUntick();
    void noneThenUpStillStartsAtOnce();
    void timerWinsOverNone();
    void delayInterval_data();
    void delayInterval();
    void commandLine_data();
    void commandLine();
    void startedFromTheCommandLine_data();
    void startedFromTheCommandLine();
    void cancelUnloadsInOrder();
    void closingTheDialogIsCancel();
    void delayRoadToReveal_data();
    void delayRoadToReveal();
    void everyScreenCovered_data();
    void everyScreenCovered();
    void keyboard();
    void labelsNameTheirControls_data();
    void labelsNameTheirControls();
    void textsFitTheirBoxes_data();
    void textsFitTheirBoxes();
    void messageReadsInEveryScheme_data();
    void messageReadsInEveryScheme();
};

void TestSetupDialog::initTestCase() { prepareTestApplication(); }

void TestSetupDialog::cleanup()
{
    flushDeletes();
    // No window may outlive its program.
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void TestSetupDialog::startUpState()
{
    Program program;
    QVERIFY(program.start());
    QCOMPARE(program.visible(), QStringList{"Form2"});
    QCOMPARE(program.loaded(), (QStringList{"Form1", "Form2"}));
    QCOMPARE(program.trace, (std::vector<std::string>{"Load Form1", "Load Form2"}));
    QVERIFY(!program.ended());

    QWidget *dialog = program.window("Form2");
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillendor"));
    QCOMPARE(dialog->focusWidget(), program.control("Form2", "Command1"));
    QCOMPARE(program.control<QLineEdit>("Form2", "Text1")->text(), QStringLiteral("5"));
    QCOMPARE(program.control<QCheckBox>("Form2", "Check1")->checkState(), Qt::Unchecked);
    QCOMPARE(program.control<QCheckBox>("Form2", "Check2")->checkState(), Qt::Unchecked);
    auto *timer = dialog->findChild<TimerObject *>("Timer1");
    QVERIFY(timer);
    QVERIFY(!timer->isEnabled());
    QCOMPARE(timer->interval(), 0);
    // 5910 by 4560 twips at 15 twips to the pixel.
    QCOMPARE(dialog->size(), QSize(394, 304));
    // The client area sits in the middle of the screen.
    const QRect screen = dialog->screen()->geometry();
    QVERIFY(qAbs(dialog->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(dialog->geometry().center().y() - screen.center().y()) <= 1);
}

void TestSetupDialog::stepping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("after"); // the text after each press
    QTest::addColumn<QString>("error");

    QTest::newRow("up from 5 stops at 60")
        << "5" << "Command3"
        << QStringList{"10", "15", "20", "25", "30", "35", "40", "45", "50", "55", "60", "60"}
        << "";
    QTest::newRow("up from 57 stops at 62") << "57" << "Command3" << QStringList{"62", "62"} << "";
    QTest::newRow("down from 12 stops at 7") << "12" << "Command4" << QStringList{"7", "7"} << "";
    QTest::newRow("down from 20 stops at 5")
        << "20" << "Command4" << QStringList{"15", "10", "5", "5"} << "";
    QTest::newRow("down from 10 to 5") << "10" << "Command4" << QStringList{"5", "5"} << "";
    QTest::newRow("2.5 steps from 2") << "2.5" << "Command3" << QStringList{"7"} << "";
    QTest::newRow("3.5 steps from 4") << "3.5" << "Command3" << QStringList{"9"} << "";
    QTest::newRow("blanks around") << " 7 " << "Command3" << QStringList{"12"} << "";
    QTest::newRow("negative climbs") << "-3" << "Command3" << QStringList{"2", "7"} << "";
    QTest::newRow("lowest integer") << "-32768" << "Command3" << QStringList{"-32763"} << "";
    QTest::newRow("highest integer cannot step up")
        << "32767" << "Command3" << QStringList{"32767"} << "";
    QTest::newRow("highest integer steps down")
        << "32767" << "Command4" << QStringList{"32762"} << "";
    QTest::newRow("overflow up") << "32768" << "Command3" << QStringList{"32768"} << "Overflow";
    QTest::newRow("overflow down") << "-40000" << "Command4" << QStringList{"-40000"} << "Overflow";
    QTest::newRow("word up") << "abc" << "Command3" << QStringList{"abc"} << "Type mismatch";
    QTest::newRow("empty down") << "" << "Command4" << QStringList{""} << "Type mismatch";
}

void TestSetupDialog::stepping()
{
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(QStringList, after);
    QFETCH(QString, error);

    Program program;
    QVERIFY(program.start());
    auto *text = program.control<QLineEdit>("Form2", "Text1");
    text->clear();
    QTest::keyClicks(text, typed);
    auto *press = program.control<QPushButton>("Form2", button.toLatin1().constData());
    for (const QString &expected : after) {
        click(press);
        QCOMPARE(text->text(), expected);
    }
    if (error.isEmpty()) {
        QVERIFY(program.errors.empty());
    } else {
        QCOMPARE(program.errors.size(), std::size_t(after.size()));
        QCOMPARE(QString::fromStdString(program.errors.front()), error);
    }
    // Stepping, even with a message, never ends the program or leaves the dialog.
    QVERIFY(!program.ended());
    QCOMPARE(program.visible(), QStringList{"Form2"});
}

void TestSetupDialog::noneTickAndUntick_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("initial") << "5";
    QTest::newRow("typed number") << "42";
    QTest::newRow("typed word") << "soon";
    QTest::newRow("empty") << "";
}

void TestSetupDialog::noneTickAndUntick()
{
    QFETCH(QString, typed);
    Program program;
    QVERIFY(program.start());
    auto *text = program.control<QLineEdit>("Form2", "Text1");
    auto *none = program.control<QCheckBox>("Form2", "Check1");
    text->setText(typed);
    click(none);
    QCOMPARE(none->checkState(), Qt::Checked);
    QCOMPARE(text->text(), QStringLiteral("0"));
    click(none);
    QCOMPARE(none->checkState(), Qt::Unchecked);
    QCOMPARE(text->text(), QStringLiteral("5"));
    // The label beside the box is only a caption: clicking it changes nothing.
    click(program.control("Form2", "Label8"));
    QCOMPARE(none->checkState(), Qt::Unchecked);
}

void TestSetupDialog::noneThenUpStillStartsAtOnce()
{
    Program program;
    QVERIFY(program.start());
    click(program.control<QCheckBox>("Form2", "Check1"));
    click(program.control("Form2", "Command3"));
    QCOMPARE(program.control<QLineEdit>("Form2", "Text1")->text(), QStringLiteral("5"));
    QCOMPARE(program.control<QCheckBox>("Form2", "Check1")->checkState(), Qt::Checked);
    click(program.control("Form2", "Command1"));
    QCOMPARE(program.visible(), QStringList{"Form1"});
    QCOMPARE(program.loaded(), QStringList{"Form1"});
    QCOMPARE(program.window("Form1")->geometry(), program.window("Form1")->screen()->geometry());
}

void TestSetupDialog::timerWinsOverNone()
{
    Program program;
    QVERIFY(program.start());
    click(program.control("Form2", "Check1"));
    click(program.control("Form2", "Check2"));
    click(program.control("Form2", "Command1"));
    QVERIFY(program.visible().contains("Form3"));
    QVERIFY(!program.registry.isLoaded("Form2"));
    // The startup window waits, hidden, for the end.
    QVERIFY(program.registry.isLoaded("Form1"));
    QVERIFY(!program.registry.isVisible("Form1"));
    QVERIFY(!program.ended());
}

void TestSetupDialog::delayInterval_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("interval");
    // Typed into the dialog and Start clicked, or given as --delay: one rule for both.
    QTest::addColumn<bool>("onTheCommandLine");

    const std::pair<const char *, int> delays[] = {
        {"5", 5001}, {"2.5", 2501}, {"0", 1}, {"60", 60001}, {"65", 65001},
        {"65.5344", 65535}, {"65.5335", 65534}, {"0.0004", 1}, {"-0.0004", 1},
        {"1.5e1", 15001}, {"  3  ", 3001},
    };
    for (const bool commandLine : {false, true})
        for (const auto &[typed, interval] : delays)
            QTest::addRow("%s%s", commandLine ? "--delay " : "", typed)
                << typed << interval << commandLine;
}

void TestSetupDialog::delayInterval()
{
    QFETCH(QString, typed);
    QFETCH(int, interval);
    QFETCH(bool, onTheCommandLine);

    Program program;
    if (onTheCommandLine) {
        const std::string seconds = typed.toStdString();
        const CommandLine line = readCommandLine(std::vector<std::string>{"--delay", seconds},
                                                 commandLineStyle(), forms::programWindows(), U'.');
        QCOMPARE(int(line.answer), int(CommandLine::Answer::Run));
        QVERIFY(program.start(line.start, line.seconds));
    } else {
        QVERIFY(program.start());
        program.control<QLineEdit>("Form2", "Text1")->setText(typed);
        click(program.control("Form2", "Command1"));
    }
    QVERIFY(program.errors.empty());

    // The dialog hides and waits on its own timer; nothing is visible while the delay runs.
    QCOMPARE(program.visible(), QStringList{});
    QCOMPARE(program.loaded(), (QStringList{"Form1", "Form2"}));
    auto *timer = program.window("Form2")->findChild<TimerObject *>("Timer1");
    QVERIFY(timer->isEnabled());
    QCOMPARE(timer->interval(), interval);

    program.trace.clear();
    timer->fire();
    QCOMPARE(program.visible(), QStringList{"Form1"});
    QCOMPARE(program.loaded(), QStringList{"Form1"});
    QCOMPARE(program.trace, std::vector<std::string>{"Unload Form2"});
    QVERIFY(program.errors.empty());
    QVERIFY(!program.ended());
}

void TestSetupDialog::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("answer");     // CommandLine::Answer
    QTest::addColumn<int>("start");      // StartWith
    QTest::addColumn<QString>("said");   // part of the mistake's message

    using A = CommandLine::Answer;
    const auto run = int(A::Run), help = int(A::Help), wrong = int(A::Mistake);
    const int dialog = int(StartWith::Dialog), delay = int(StartWith::Delay),
              now = int(StartWith::Now), timer = int(StartWith::Timer);
    QTest::newRow("nothing") << QStringList{} << run << dialog << "";
    QTest::newRow("-h after --now") << QStringList{"--now", "-h"} << help << now << "";
    QTest::newRow("--delay 2") << QStringList{"--delay", "2"} << run << delay << "";
    QTest::newRow("--delay=2") << QStringList{"--delay=2"} << run << delay << "";
    QTest::newRow("--now") << QStringList{"--now"} << run << now << "";
    QTest::newRow("--timer twice") << QStringList{"--timer", "--timer"} << run << timer << "";
    QTest::newRow("Qt's options left to Qt")
        << QStringList{"-display", ":1", "--style=Fusion", "-reverse", "--now"} << run << now << "";
    QTest::newRow("--delay 2,5 with a point") << QStringList{"--delay", "2,5"} << wrong << delay
                                              << "'2,5'";
    QTest::newRow("--delay=") << QStringList{"--delay="} << wrong << delay << "--delay";
    QTest::newRow("--timer --delay=1") << QStringList{"--timer", "--delay=1"} << wrong << timer
                                       << "--delay";
    QTest::newRow("--now=3") << QStringList{"--now=3"} << wrong << dialog << "--now";
    QTest::newRow("a word") << QStringList{"now"} << wrong << dialog << "'now'";
    QTest::newRow("after --") << QStringList{"--", "--now"} << wrong << dialog << "'--now'";
    QTest::newRow("/? is Windows'") << QStringList{"/?"} << wrong << dialog << "'/?'";
}

// The command line as the program reads it on Linux, before any window: an answer and the way
// the prank starts, or a one-line mistake. The delay is the setup dialog's own rule (see
// delayInterval), with a point as the decimal separator here. --help, --version, the delays the
// dialog refuses, two ways of starting and an unknown option are rows of the end-to-end
// command_line cases, on both builds; these are the rest.
void TestSetupDialog::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, answer);
    QFETCH(int, start);
    QFETCH(QString, said);

    std::vector<std::string> args;
    for (const QString &a : arguments)
        args.push_back(a.toStdString());
    const CommandLine line =
        readCommandLine(args, commandLineStyle(), forms::programWindows(), U'.');
    QCOMPARE(int(line.answer), answer);
    if (line.answer != CommandLine::Answer::Mistake) {
        if (line.answer == CommandLine::Answer::Run)
            QCOMPARE(int(line.start), start);
        QVERIFY(line.mistake.empty());
        return;
    }
    const QString message = QString::fromStdString(mistakeText(commandLineStyle(), line.mistake));
    QVERIFY2(message.contains(said), qPrintable(message));
    QVERIFY2(message.startsWith("quillendor: ") && message.count('\n') == 2
                 && message.endsWith("Try 'quillendor --help' for more information.\n"),
             qPrintable(message));
}

void TestSetupDialog::startedFromTheCommandLine_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<QStringList>("visible");
    QTest::newRow("--delay 1") << int(StartWith::Delay) << QStringList{};
    QTest::newRow("--now") << int(StartWith::Now) << QStringList{"Form1"};
    QTest::newRow("--timer") << int(StartWith::Timer) << QStringList{"Form3"};
}

// As the dialog's Start would have it, and the dialog never shows, not even for a moment (which
// the end-to-end cases, looking at the screen from outside, could miss). Their ends are theirs.
void TestSetupDialog::startedFromTheCommandLine()
{
    QFETCH(int, how);
    QFETCH(QStringList, visible);

    struct ShowWatch : QObject {
        int dialogShown = 0;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show && watched->objectName() == "Form2")
                ++dialogShown;
            return false;
        }
    } watch;
    qApp->installEventFilter(&watch);
    Program program;
    QVERIFY(program.start(StartWith(how), "1"));
    settle();
    QCOMPARE(program.visible(), visible);
    if (StartWith(how) == StartWith::Delay)
        QCOMPARE(program.window("Form2")->findChild<TimerObject *>("Timer1")->interval(), 1001);
    if (StartWith(how) == StartWith::Timer)
        QCOMPARE(program.window("Form3")->findChild<TimerObject *>("Timer1")->interval(), 60000);
    QVERIFY(program.errors.empty());
    qApp->removeEventFilter(&watch);
    QCOMPARE(watch.dialogShown, 0);
}

void TestSetupDialog::cancelUnloadsInOrder()
{
    Program program;
    QVERIFY(program.start());
    program.trace.clear();
    click(program.control("Form2", "Command2"));
    // The hidden startup window's Unload handler shows the reveal dialog in passing, and the same
    // Cancel unloads it again.
    QCOMPARE(program.trace, (std::vector<std::string>{"Unload Form1", "Load frmAbout1",
                                                      "Unload Form2", "Unload frmAbout1"}));
    QCOMPARE(program.loaded(), QStringList{});
    QCOMPARE(program.endCount, 1);
    QCOMPARE(program.endCode, 0);
    QVERIFY(program.errors.empty());
}

void TestSetupDialog::closingTheDialogIsCancel()
{
    Program program;
    QVERIFY(program.start());
    program.trace.clear();
    QWidget *dialog = program.window("Form2");
    dialog->close();
    QCOMPARE(program.trace, (std::vector<std::string>{"Unload Form1", "Load frmAbout1",
                                                      "Unload Form2", "Unload frmAbout1"}));
    QCOMPARE(program.endCode, 0);
}

void TestSetupDialog::delayRoadToReveal_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click on the text") << "label";
    QTest::newRow("click on the background") << "background";
    QTest::newRow("close request") << "close";
}

void TestSetupDialog::delayRoadToReveal()
{
    QFETCH(QString, how);
    Program program;
    QVERIFY(program.start());
    click(program.control("Form2", "Command1"));
    program.window("Form2")->findChild<TimerObject *>("Timer1")->fire();
    settle();
    QWidget *screen = program.window("Form1");
    QVERIFY(screen->isVisible());
    QCOMPARE(screen->geometry(), screen->screen()->geometry());

    program.trace.clear();
    if (how == "label")
        click(program.control("Form1", "Label1"));
    else if (how == "background")
        click(screen, QPoint(5, 5));
    else
        screen->close();
    QCOMPARE(program.trace, (std::vector<std::string>{"Unload Form1", "Load frmAbout1"}));
    QCOMPARE(program.visible(), QStringList{"frmAbout1"});
    QCOMPARE(program.loaded(), QStringList{"frmAbout1"});
    QVERIFY(!program.ended());
    // Leave nothing behind for the next test.
    program.registry.unload("frmAbout1");
    QCOMPARE(program.endCode, 0);
}

void TestSetupDialog::everyScreenCovered_data()
{
    QTest::addColumn<QString>("road");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("trace");
    const QStringList clickRoad{"Load Form1", "Load Form2", "Unload Form2", "Unload Form1",
                                "Load frmAbout1", "Unload frmAbout1"};
    QTest::newRow("None, click on a cover") << "none" << "click" << clickRoad;
    QTest::newRow("None, close request on a cover") << "none" << "close" << clickRoad;
    QTest::newRow("delay, click on a cover") << "delay" << "click" << clickRoad;
    QTest::newRow("Timer, a click and a close request on a cover, then the minute")
        << "timer" << "click,close"
        << QStringList{"Load Form1", "Load Form2", "Load Form3", "Unload Form2",
                       "Load frmAbout1", "Unload Form3", "Unload Form1", "Unload frmAbout1"};
}

// However many monitors there are, a fake screen covers each of them, and the roads run exactly
// as on one: the covers are no windows of the program's own. CTest also runs this with three
// offscreen monitors (QUILL_TEST_SCREENS says how many), the primary one not at the origin.
void TestSetupDialog::everyScreenCovered()
{
    QFETCH(QString, road);
    QFETCH(QString, ending);
    QFETCH(QStringList, trace);
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (qEnvironmentVariableIsSet("QUILL_TEST_SCREENS"))
        QCOMPARE(screens.size(), qEnvironmentVariableIntValue("QUILL_TEST_SCREENS"));

    Program program;
    QVERIFY(program.start());
    if (road == "timer")
        click(program.control("Form2", "Check2"));
    else if (road == "none")
        click(program.control("Form2", "Check1"));
    click(program.control("Form2", "Command1"));
    if (road == "delay")
        program.window("Form2")->findChild<TimerObject *>("Timer1")->fire();
    settle();
    const char *name = road == "timer" ? "Form3" : "Form1";
    QWidget *described = program.window(name);
    QVERIFY(described && described->isVisible());
    QCOMPARE(described->geometry(), QGuiApplication::primaryScreen()->geometry());

    QWidgetList shown;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            shown << w;
    QCOMPARE(shown.size(), screens.size());
    for (QScreen *screen : screens) {
        const auto over = std::count_if(shown.cbegin(), shown.cend(), [screen](QWidget *w) {
            return w->geometry() == screen->geometry();
        });
        QVERIFY2(over == 1, qPrintable(screen->name() + " is not covered by one window"));
    }
    const QStringList loaded = road == "timer" ? QStringList{"Form1", "Form3"} : QStringList{"Form1"};
    QCOMPARE(program.loaded(), loaded);

    // A cover where there is one, else the described window.
    QWidget *cover = shown.last() == described ? shown.first() : shown.last();
    for (const QString &step : ending.split(',')) {
        if (step == "click")
            click(cover, QPoint(5, 5));
        else
            cover->close();
    }
    if (road == "timer") {
        QVERIFY(program.registry.isVisible("Form3"));
        program.window("Form3")->findChild<TimerObject *>("Timer1")->fire();
    }
    settle();
    QCOMPARE(program.visible(), QStringList{"frmAbout1"});
    flushDeletes();
    int stillShown = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        stillShown += w->isVisible() ? 1 : 0;
    QCOMPARE(stillShown, 1);
    QCOMPARE(program.window("frmAbout1")->geometry().topLeft(),
             QGuiApplication::primaryScreen()->geometry().topLeft() + QPoint(156, 129));

    click(program.control("frmAbout1", "cmdOK"));
    QStringList traced;
    for (const std::string &event : program.trace)
        traced << QString::fromStdString(event);
    QCOMPARE(traced, trace);
    QCOMPARE(program.endCode, 0);
}

void TestSetupDialog::keyboard()
{
    Program program;
    QVERIFY(program.start());
    QWidget *dialog = program.window("Form2");
    QApplication::setActiveWindow(dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QCOMPARE(QApplication::focusWidget(), program.control("Form2", "Command1"));

    // Tab follows the tab order: Start, Cancel, the delay, "None", ">", "<", "Timer", Start.
    const QStringList order{"Command2", "Text1", "Check1", "Command3", "Command4", "Check2",
                            "Command1"};
    for (const QString &name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }

    // Space on a focused button presses it; Enter too.
    program.control("Form2", "Command3")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(program.control<QLineEdit>("Form2", "Text1")->text(), QStringLiteral("10"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(program.control<QLineEdit>("Form2", "Text1")->text(), QStringLiteral("15"));

    program.control("Form2", "Command1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(program.visible(), QStringList{});
    QCOMPARE(program.window("Form2")->findChild<TimerObject *>("Timer1")->interval(), 15001);
}

void TestSetupDialog::labelsNameTheirControls_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::newRow("Seconds, the delay") << "Label3" << "Text1" << QAccessible::EditableText;
    QTest::newRow("UP, >") << "Label4" << "Command3" << QAccessible::Button;
    QTest::newRow("DOWN, <") << "Label5" << "Command4" << QAccessible::Button;
    QTest::newRow("None, its box") << "Label8" << "Check1" << QAccessible::CheckBox;
}

// A screen reader names a control by the label that stands for it, and hears the label as the
// label for that control; a label given new words renames its control.
void TestSetupDialog::labelsNameTheirControls()
{
    QFETCH(QString, label);
    QFETCH(QString, control);
    QFETCH(QAccessible::Role, role);
    Program program;
    QVERIFY(program.start());
    auto *labelWidget = program.control<LabelWidget>("Form2", label.toLatin1().constData());
    QVERIFY(labelWidget);
    QObject *controlObject = program.control("Form2", control.toLatin1().constData());
    QAccessibleInterface *named = QAccessible::queryAccessibleInterface(controlObject);
    QAccessibleInterface *labelling = QAccessible::queryAccessibleInterface(labelWidget);
    QVERIFY(named && labelling);

    QCOMPARE(named->role(), role);
    QCOMPARE(named->text(QAccessible::Name), labelWidget->text());
    QCOMPARE(labelling->role(), QAccessible::StaticText);
    const auto labelled = labelling->relations(QAccessible::Labelled);
    QCOMPARE(labelled.size(), 1);
    QCOMPARE(labelled.first().first, named);

    labelWidget->setText(QStringLiteral("Delay"));
    QCOMPARE(named->text(QAccessible::Name), QStringLiteral("Delay"));
    QCOMPARE(labelling->text(QAccessible::Name), QStringLiteral("Delay"));
}

void TestSetupDialog::textsFitTheirBoxes_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    for (const char *label : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6",
                              "Label7", "Label8"})
        QTest::newRow(label) << "Form2" << label;
    QTest::newRow("Form1 Label1") << "Form1" << "Label1";
}

void TestSetupDialog::textsFitTheirBoxes()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    Program program;
    QVERIFY(program.start());
    auto *label = program.control<LabelWidget>(window.toLatin1().constData(),
                                                control.toLatin1().constData());
    QVERIFY(label);
    const QFontMetrics metrics(label->font());
    const QRect used = metrics.boundingRect(QRect(0, 0, label->width(), 100000),
                                            Qt::AlignLeft | Qt::TextWordWrap, label->text());
    QVERIFY2(used.width() <= label->width() && used.height() <= label->height(),
             qPrintable(QStringLiteral("%1 needs %2x%3 in %4x%5").arg(label->text())
                            .arg(used.width()).arg(used.height())
                            .arg(label->width()).arg(label->height())));
}

// The shutdown screen's message is highlighted text on the desktop colour (a fixed teal here):
// where the palette's highlighted text would vanish into it, the message turns black or white.
void TestSetupDialog::messageReadsInEveryScheme_data()
{
    QTest::addColumn<QColor>("highlightedText");
    QTest::addColumn<QColor>("drawn");
    QTest::newRow("white, the classic scheme") << QColor(Qt::white) << QColor(Qt::white);
    QTest::newRow("yellow reads on teal") << QColor(255, 255, 0) << QColor(255, 255, 0);
    QTest::newRow("the desktop's own teal") << QColor(0, 128, 128) << QColor(Qt::white);
    QTest::newRow("nearly the teal") << QColor(10, 140, 120) << QColor(Qt::white);
    QTest::newRow("black, 4.4 to 1 on teal, reads") << QColor(Qt::black) << QColor(Qt::black);
}

void TestSetupDialog::messageReadsInEveryScheme()
{
    QFETCH(QColor, highlightedText);
    QFETCH(QColor, drawn);
    const QPalette saved = QApplication::palette();
    QPalette scheme = saved;
    scheme.setColor(QPalette::HighlightedText, highlightedText);
    QApplication::setPalette(scheme);
    QColor seen;
    {
        Program program;
        if (program.start()) {
            click(program.control<QCheckBox>("Form2", "Check1"));
            click(program.control<QPushButton>("Form2", "Command1"));
            settle();
            if (QWidget *label = program.control("Form1", "Label1"))
                seen = label->palette().color(QPalette::WindowText);
        }
    }
    QApplication::setPalette(saved);
    QCOMPARE(seen, drawn);
}

QTEST_MAIN(TestSetupDialog)
#include "tst_setupdialog.moc"
