// SPDX-License-Identifier: MIT
// Thousands of random event sequences applied to the real windows, checked after every event
// against a small reference model of the four windows: which are loaded and visible, which Load and
// Unload events run in which order, what the setup dialog's controls hold, and when the program
// ends. Sequences are seeded and reproducible; a failure prints its seed and the events so far.
//
// QUILL_MODEL_SEED (first seed) and QUILL_MODEL_SECONDS (time budget, default 20) tune a run.

#include "Harness.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <map>
#include <optional>
#include <random>
#include <regex>

using namespace quill;
using namespace quill::test;

namespace {

enum class State { NotLoaded, Hidden, Visible };

const char *const Windows[] = {"Form1", "Form2", "Form3", "frmAbout1"};
// The setup dialog's focus order.
const QStringList TabOrder{"Command1", "Command2", "Text1", "Check1", "Command3", "Command4",
                           "Check2"};

// The reference: what the program should do, written from its description without the shell's
// code. Numbers are read with a regular expression and strtod_l in the "C" locale, independently
// of the program's conversions.
struct Model {
    std::map<std::string, State> state{{"Form1", State::NotLoaded}, {"Form2", State::NotLoaded},
                                       {"Form3", State::NotLoaded}, {"frmAbout1", State::NotLoaded}};
    std::map<std::string, bool> unloading;
    std::vector<std::string> trace;
    int endings = 0;
    int errors = 0;
    // Setup dialog
    std::string text;
    int check1 = 0, check2 = 0;
    bool timer2 = false;
    int interval2 = 0;
    QString focus;
    bool textSelected = false; // tabbing into the delay box selects its text
    // Timed screen
    bool timer3 = false;
    // Reveal dialog: OK, or the picture after a Tab or a click on it
    QString revealFocus;

    bool loaded(const std::string &w) const { return state.at(w) != State::NotLoaded; }

    int loadedCount() const
    {
        int n = 0;
        for (auto &[w, s] : state)
            n += s != State::NotLoaded;
        return n;
    }

    void load(const std::string &w)
    {
        state[w] = State::Hidden;
        trace.push_back("Load " + w);
        if (w == "Form2") {
            text = "5";
            check1 = check2 = 0;
            timer2 = false;
            interval2 = 0;
            focus.clear();
        }
        if (w == "Form3")
            timer3 = true;
        if (w == "frmAbout1")
            revealFocus = "cmdOK";
        if (w == "Form1") {
            hide("Form1");
            show("Form2");
        }
    }
    void show(const std::string &w)
    {
        const bool first = state[w] == State::NotLoaded;
        if (first)
            load(w);
        if (loaded(w)) {
            if (w == "Form2" && (first || focus.isEmpty()))
                focus = "Command1";
            state[w] = State::Visible;
        }
    }
    void hide(const std::string &w)
    {
        if (!loaded(w))
            load(w);
        if (loaded(w))
            state[w] = State::Hidden;
    }
    void unload(const std::string &w)
    {
        if (!loaded(w) || unloading[w])
            return;
        trace.push_back("Unload " + w);
        unloading[w] = true;
        if (w == "Form1")
            show("frmAbout1");
        unloading[w] = false;
        state[w] = State::NotLoaded;
        if (w == "Form2")
            timer2 = false;
        if (w == "Form3")
            timer3 = false;
        if (loadedCount() == 0)
            ++endings;
    }
    void unloadAll()
    {
        for (const char *w : Windows)
            unload(w);
    }

    static std::optional<double> number(const std::string &t)
    {
        static const std::regex grammar(
            R"(^[ \t]*[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*$)");
        if (!std::regex_match(t, grammar))
            return std::nullopt;
        // strtod_l in the "C" locale: plain strtod follows the locale the toolkit has set.
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        const double d = strtod_l(t.c_str(), nullptr, cLocale);
        if (std::isinf(d))
            return std::nullopt;
        return d;
    }

    void step(int delta, bool up)
    {
        const auto d = number(text);
        if (!d || std::nearbyint(*d) < -32768 || std::nearbyint(*d) > 32767) {
            ++errors;
            return;
        }
        const int n = int(std::nearbyint(*d));
        if (up ? n < 60 : n > 9)
            text = std::to_string(n + delta);
    }

    void start()
    {
        if (check2 == 1) {
            show("Form3");
            unload("Form2");
        } else if (check1 == 1) {
            show("Form1");
            unload("Form2");
        } else {
            const auto d = number(text);
            const double ms = d ? *d * 1000 + 1 : 0;
            const double rounded = std::nearbyint(ms);
            if (!d || !std::isfinite(ms) || rounded < 1 || rounded > 65535) {
                ++errors;
                return;
            }
            interval2 = int(rounded);
            timer2 = true;
            hide("Form2");
        }
    }
};

struct Step {
    QString name;
    std::function<void(Program &)> real;
    std::function<void(Model &)> model;
};

QWidget *widget(Program &p, const char *w, const QString &control)
{
    return p.control(w, control.toLatin1().constData());
}

void clickControl(Program &p, const char *w, const QString &control)
{
    QTest::mouseClick(widget(p, w, control), Qt::LeftButton);
}

TimerObject *timerOf(Program &p, const char *w)
{
    return p.window(w)->findChild<TimerObject *>("Timer1");
}

// The events that can happen now, given what the model says is on screen.
std::vector<Step> possibleEvents(const Model &m, std::mt19937 &rng)
{
    std::vector<Step> events;
    if (m.state.at("Form2") == State::Visible) {
        for (const char *c : {"Check1", "Check2", "Command1", "Command2", "Command3", "Command4"}) {
            const QString control = c;
            events.push_back({"click " + control, [control](Program &p) {
                                  clickControl(p, "Form2", control);
                              },
                              [control](Model &m) {
                                  m.focus = control;
                                  if (control == "Check1") {
                                      m.check1 ^= 1;
                                      m.text = m.check1 == 1 ? "0" : "5";
                                  } else if (control == "Check2") {
                                      m.check2 ^= 1;
                                  } else if (control == "Command1") {
                                      m.start();
                                  } else if (control == "Command2") {
                                      m.unloadAll();
                                  } else {
                                      m.step(control == "Command3" ? 5 : -5, control == "Command3");
                                  }
                              }});
        }
        for (const char *c : {"Label2", "Label8", "Label4"}) {
            const QString control = c;
            events.push_back({"click " + control,
                              [control](Program &p) { clickControl(p, "Form2", control); },
                              [](Model &) {}});
        }
        events.push_back({"click background",
                          [](Program &p) {
                              QTest::mouseClick(p.window("Form2"), Qt::LeftButton, {}, {380, 10});
                          },
                          [](Model &) {}});
        events.push_back({"close Form2", [](Program &p) { p.window("Form2")->close(); },
                          [](Model &m) { m.unloadAll(); }});
        events.push_back({"Tab", [](Program &p) {
                              QTest::keyClick(p.window("Form2")->focusWidget(), Qt::Key_Tab);
                          },
                          [](Model &m) {
                              m.focus = TabOrder[(TabOrder.indexOf(m.focus) + 1) % TabOrder.size()];
                              m.textSelected = m.focus == "Text1";
                          }});
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
            const QString name = key == Qt::Key_Return ? "Enter" : key == Qt::Key_Space ? "Space"
                                                                                        : "Esc";
            events.push_back({name, [key](Program &p) {
                                  QTest::keyClick(p.window("Form2")->focusWidget(), key);
                              },
                              [key](Model &m) {
                                  const QString f = m.focus;
                                  if (key == Qt::Key_Escape)
                                      return;
                                  if (f == "Text1") {
                                      if (key == Qt::Key_Space) {
                                          m.text = m.textSelected ? " " : m.text + ' ';
                                          m.textSelected = false;
                                      }
                                      return;
                                  }
                                  if (f.startsWith("Check")) {
                                      if (key != Qt::Key_Space)
                                          return;
                                      if (f == "Check1") {
                                          m.check1 ^= 1;
                                          m.text = m.check1 == 1 ? "0" : "5";
                                      } else {
                                          m.check2 ^= 1;
                                      }
                                      return;
                                  }
                                  if (f == "Command1")
                                      m.start();
                                  else if (f == "Command2")
                                      m.unloadAll();
                                  else
                                      m.step(f == "Command3" ? 5 : -5, f == "Command3");
                              }});
        }
        // Typing into the delay box: replace what is there, or add to its end.
        static const char *const pieces[] = {"0", "5", "9", "10", "12", "55", "57", "60", "65", "66", "2.5", "3.5", "-",
                                             ".", "e", "1e1", " ", "abc", "-0.001", "99999", ","};
        const std::string typed = pieces[rng() % std::size(pieces)];
        const bool replace = rng() % 2;
        events.push_back({QString(replace ? "type \"%1\"" : "append \"%1\"").arg(typed.c_str()),
                          [typed, replace](Program &p) {
                              auto *edit = p.control<QLineEdit>("Form2", "Text1");
                              edit->setFocus();
                              if (replace)
                                  edit->selectAll();
                              else
                                  edit->end(false);
                              QTest::keyClicks(edit, QString::fromStdString(typed));
                          },
                          [typed, replace](Model &m) {
                              m.focus = "Text1";
                              m.textSelected = false;
                              m.text = replace ? typed : m.text + typed;
                          }});
    }
    if (m.loaded("Form2") && m.timer2)
        events.push_back({"delay timer", [](Program &p) { timerOf(p, "Form2")->fire(); },
                          [](Model &m) {
                              m.show("Form1");
                              m.unload("Form2");
                          }});
    if (m.state.at("Form1") == State::Visible) {
        events.push_back({"click Form1 text", [](Program &p) { clickControl(p, "Form1", "Label1"); },
                          [](Model &m) { m.unload("Form1"); }});
        events.push_back({"click Form1 background",
                          [](Program &p) {
                              QTest::mouseClick(p.window("Form1"), Qt::LeftButton, {}, {2, 2});
                          },
                          [](Model &m) { m.unload("Form1"); }});
        events.push_back({"close Form1", [](Program &p) { p.window("Form1")->close(); },
                          [](Model &m) { m.unload("Form1"); }});
        events.push_back({"keys on Form1", [](Program &p) {
                              QTest::keyClick(p.window("Form1"), Qt::Key_Escape);
                              QTest::keyClick(p.window("Form1"), Qt::Key_Return);
                          },
                          [](Model &) {}});
    }
    if (m.state.at("Form3") == State::Visible) {
        events.push_back({"click Form3 text", [](Program &p) { clickControl(p, "Form3", "Label1"); },
                          [](Model &) {}});
        events.push_back({"click Form3 background",
                          [](Program &p) {
                              QTest::mouseClick(p.window("Form3"), Qt::LeftButton, {}, {2, 2});
                          },
                          [](Model &) {}});
        events.push_back({"close Form3", [](Program &p) { p.window("Form3")->close(); },
                          [](Model &) {}});
        events.push_back({"keys on Form3", [](Program &p) {
                              QTest::keyClick(p.window("Form3"), Qt::Key_Escape);
                              QTest::keyClick(p.window("Form3"), Qt::Key_Space);
                          },
                          [](Model &) {}});
    }
    if (m.loaded("Form3") && m.timer3)
        events.push_back({"minute timer", [](Program &p) { timerOf(p, "Form3")->fire(); },
                          [](Model &m) {
                              m.show("frmAbout1");
                              m.unload("Form3");
                          }});
    if (m.state.at("frmAbout1") == State::Visible) {
        events.push_back({"click OK", [](Program &p) { clickControl(p, "frmAbout1", "cmdOK"); },
                          [](Model &m) { m.unloadAll(); }});
        // Enter and Esc press OK wherever the focus is; Space only the button that has it.
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space})
            events.push_back({QString("key %1 on reveal").arg(int(key), 0, 16),
                              [key](Program &p) {
                                  QTest::keyClick(p.window("frmAbout1")->focusWidget(), key);
                              },
                              [key](Model &m) {
                                  if (key != Qt::Key_Space || m.revealFocus == "cmdOK")
                                      m.unloadAll();
                              }});
        events.push_back({"Tab on reveal",
                          [](Program &p) {
                              QTest::keyClick(p.window("frmAbout1")->focusWidget(), Qt::Key_Tab);
                          },
                          [](Model &m) {
                              m.revealFocus = m.revealFocus == "cmdOK" ? "Picture1" : "cmdOK";
                          }});
        events.push_back({"close reveal", [](Program &p) { p.window("frmAbout1")->close(); },
                          [](Model &m) { m.unloadAll(); }});
        events.push_back({"click picture", [](Program &p) { clickControl(p, "frmAbout1", "Picture1"); },
                          [](Model &m) { m.revealFocus = "Picture1"; }});
    }
    return events;
}

// Compares the program with the model; returns what differs, empty when they agree.
QString differences(Program &p, const Model &m, std::vector<QPointer<TimerObject>> &deadTimers)
{
    QStringList diffs;
    for (const char *w : Windows) {
        const State real = !p.registry.isLoaded(w)   ? State::NotLoaded
                           : p.registry.isVisible(w) ? State::Visible
                                                     : State::Hidden;
        if (real != m.state.at(w))
            diffs << QString("%1 is in state %2, model says %3").arg(w).arg(int(real))
                         .arg(int(m.state.at(w)));
    }
    QStringList realTrace, modelTrace;
    for (auto &e : p.trace)
        realTrace << QString::fromStdString(e);
    for (auto &e : m.trace)
        modelTrace << QString::fromStdString(e);
    if (realTrace != modelTrace)
        diffs << "events " + realTrace.join(", ") + " | model " + modelTrace.join(", ");
    if (int(p.errors.size()) != m.errors)
        diffs << QString("%1 error reports, model %2").arg(p.errors.size()).arg(m.errors);
    if (p.endCount != m.endings)
        diffs << QString("ended %1 times, model %2").arg(p.endCount).arg(m.endings);
    if (p.endCount > 0 && p.endCode != 0)
        diffs << QString("ended with status %1").arg(p.endCode);
    if (p.registry.isLoaded("Form2")) {
        if (p.control<QLineEdit>("Form2", "Text1")->text().toStdString() != m.text)
            diffs << "delay text " + p.control<QLineEdit>("Form2", "Text1")->text() + " | model "
                         + QString::fromStdString(m.text);
        if (p.control<QCheckBox>("Form2", "Check1")->checkState() != (m.check1 ? Qt::Checked : Qt::Unchecked)
            || p.control<QCheckBox>("Form2", "Check2")->checkState() != (m.check2 ? Qt::Checked : Qt::Unchecked))
            diffs << "check boxes differ";
        TimerObject *t = timerOf(p, "Form2");
        if (t->isEnabled() != m.timer2 || (m.timer2 && t->interval() != m.interval2))
            diffs << QString("delay timer %1/%2, model %3/%4").arg(t->isEnabled()).arg(t->interval())
                         .arg(m.timer2).arg(m.interval2);
        if (p.registry.isVisible("frmAbout1") && p.window("frmAbout1")->focusWidget()
            && p.window("frmAbout1")->focusWidget()->objectName() != m.revealFocus)
            diffs << "reveal focus on " + p.window("frmAbout1")->focusWidget()->objectName()
                         + ", model " + m.revealFocus;
        if (p.registry.isVisible("Form2") && p.window("Form2")->focusWidget()
            && p.window("Form2")->focusWidget()->objectName() != m.focus)
            diffs << "focus on " + p.window("Form2")->focusWidget()->objectName() + ", model "
                         + m.focus;
    }
    if (p.registry.isLoaded("Form3") && timerOf(p, "Form3")->isEnabled() != m.timer3)
        diffs << "minute timer differs";

    // Invariants that hold whatever the model says.
    const int loaded = p.registry.loadedCount();
    bool anyVisible = false;
    for (const char *w : Windows)
        anyVisible = anyVisible || p.registry.isVisible(w);
    if (loaded > 0 && !anyVisible
        && !(p.registry.isLoaded("Form2") && timerOf(p, "Form2")->isEnabled()))
        diffs << "windows loaded but none visible, and no delay running";
    if ((loaded == 0) != (p.endCount == 1))
        diffs << QString("%1 windows loaded, program ended %2 times").arg(loaded).arg(p.endCount);
    for (const auto &t : deadTimers)
        if (t && t->isEnabled())
            diffs << "a timer of an unloaded window is still running";
    return diffs.join("; ");
}

} // namespace

class TestModel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareTestApplication(); }
    void randomSequences();
};

void TestModel::randomSequences()
{
    const quint64 firstSeed = qEnvironmentVariableIsSet("QUILL_MODEL_SEED")
                                  ? qEnvironmentVariable("QUILL_MODEL_SEED").toULongLong()
                                  : 20261208;
    const int seconds = qEnvironmentVariableIsSet("QUILL_MODEL_SECONDS")
                            ? qEnvironmentVariableIntValue("QUILL_MODEL_SECONDS")
                            : 20;
    const int maxSequences = 5000;
    const int maxEvents = 60;

    QElapsedTimer clock;
    clock.start();
    int sequences = 0;
    long events = 0;
    std::map<QString, int> seen;
    for (; sequences < maxSequences && clock.elapsed() < seconds * 1000; ++sequences) {
        const quint64 seed = firstSeed + quint64(sequences);
        std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
        QStringList log;
        std::vector<QPointer<TimerObject>> timers, deadTimers;
        {
            Program program;
            Model model;
            model.load("Form1");
            QVERIFY(program.start());
            QApplication::setActiveWindow(program.window("Form2"));
            QString diff = differences(program, model, deadTimers);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("seed %1 at start: %2").arg(seed).arg(diff)));

            for (int n = 0; n < maxEvents && model.endings == 0; ++n) {
                auto options = possibleEvents(model, rng);
                QVERIFY2(!options.empty(),
                         qPrintable(QString("seed %1: nothing can happen after %2").arg(seed)
                                        .arg(log.join(", "))));
                // Cancel and closing the dialog end a sequence at once; make them rarer so that
                // sequences get deep enough to reach the later windows.
                std::size_t pick = rng() % options.size();
                if ((options[pick].name == "click Command2" || options[pick].name == "close Form2")
                    && rng() % 4 != 0)
                    pick = rng() % options.size();
                const Step &e = options[pick];
                log << e.name;
                ++seen[e.name.section(' ', 0, 0)];
                for (const char *w : {"Form2", "Form3"})
                    if (program.registry.isLoaded(w))
                        timers.emplace_back(timerOf(program, w));
                program.trace.clear();
                model.trace.clear();
                e.real(program);
                e.model(model);
                for (auto &t : timers)
                    if (t && !(t->parent() && program.registry.isLoaded(t->parent()->objectName().toStdString())
                               && program.window(t->parent()->objectName().toLatin1().constData()) == t->parent()))
                        deadTimers.push_back(t);
                diff = differences(program, model, deadTimers);
                QVERIFY2(diff.isEmpty(), qPrintable(QString("seed %1 after %2: %3")
                                                        .arg(seed).arg(log.join(", "), diff)));
                ++events;
            }
            // A sequence that ran out of events leaves its windows to the registry's end.
        }
        flushDeletes();
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);
    }
    qInfo("%d sequences, %ld events, first seed %llu, %lld ms", sequences, events,
          static_cast<unsigned long long>(firstSeed), static_cast<long long>(clock.elapsed()));
    QString kinds;
    for (auto &[k, n] : seen)
        kinds += QString("%1 %2, ").arg(k).arg(n);
    qInfo("event kinds: %s", qPrintable(kinds));
    QVERIFY(sequences >= 100);
}

QTEST_MAIN(TestModel)
#include "tst_model.moc"
