// SPDX-License-Identifier: MIT
#pragma once

// A running program for tests: the real windows in a fresh registry on the offscreen platform, with
// the error report and the end of the program recorded instead of shown and acted on.

#include "ErrorReport.h"
#include "Form.h"
#include "Forms.h"
#include "QtWindow.h"
#include "Registry.h"
#include "Startup.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <string>
#include <vector>

namespace quill::test {

// The application state the program sets up, for a test's initTestCase. The offscreen platform
// says it cannot raise windows every time one is shown; that is the platform talking, not the
// program, and it would drown what the tests print.
inline void prepareTestApplication()
{
    prepareApplication();
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (message == QLatin1String("This plugin does not support raise()"))
                return;
            if (previous)
                previous(type, context, message);
        });
}

// The next turn of the event loop: the windows shown go on the screen, then the windows unloaded
// go.
inline void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Program {
    Registry registry;
    std::vector<std::string> trace;
    std::vector<std::string> errors; // what the default error report said, in order
    int endCode = -1;
    int endCount = 0;
    ErrorPresenter previous;

    explicit Program(bool defineForms = true)
    {
        if (defineForms)
            forms::defineWindows(registry);
        registry.setTrace([this](const std::string &event) { trace.push_back(event); });
        registry.setEndHandler([this](int code) {
            endCode = code;
            ++endCount;
        });
        previous = setErrorPresenter(
            [this](const RuntimeError &error) { errors.emplace_back(error.what()); });
    }

    ~Program()
    {
        setErrorPresenter(std::move(previous));
    }

    // Start-up, then the event loop's first turn, which puts the shown windows on the screen;
    // with a way of starting from the command line, the prank started that way.
    bool start(StartWith how = StartWith::Dialog, std::string seconds = {})
    {
        std::function<void()> asked;
        if (how != StartWith::Dialog)
            asked = [how, seconds] { forms::programWindows().start(how, seconds); };
        const bool running = startUp(registry, asked);
        settle();
        return running;
    }

    bool ended() const { return endCount > 0; }

    QWidget *window(const char *name) { return qt::widgetOf(registry.window(name)); }

    template <typename T = QWidget>
    T *control(const char *window, const char *name)
    {
        return qobject_cast<T *>(qt::controlOf(registry.window(window), name));
    }

    // The windows the user can see, by name, in name order.
    QStringList visible() const
    {
        QStringList names;
        for (const char *name : {"Form1", "Form2", "Form3", "frmAbout1"})
            if (registry.isVisible(name))
                names << QString::fromLatin1(name);
        return names;
    }

    QStringList loaded() const
    {
        QStringList names;
        for (const char *name : {"Form1", "Form2", "Form3", "frmAbout1"})
            if (registry.isLoaded(name))
                names << QString::fromLatin1(name);
        return names;
    }
};

inline void click(QWidget *widget, QPoint at = {})
{
    QVERIFY(widget);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at.isNull() ? widget->rect().center() : at);
}

// Widgets that were unloaded go at the next turn of the event loop; let them go.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace quill::test
