// SPDX-License-Identifier: MIT
#include "Startup.h"

#include "Accessibility.h"
#include "Catalog.h"
#include "ErrorReport.h"
#include "Look.h"
#include "QtBackend.h"
#include "Registry.h"

#include <QApplication>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace quill {
namespace {

constexpr const char *SessionBus = "DBUS_SESSION_BUS_ADDRESS";

bool sessionBusDisabledHere = false;

// What Qt says while the platform starts, held back: if the platform fails, one line of ours
// replaces it all; if it starts, it goes out as it would have.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

struct PlatformWatch {
    std::mutex lock;
    bool starting = false;
    QtMessageHandler previous = nullptr;
    std::vector<HeldMessage> held;
};

PlatformWatch &platformWatch()
{
    static PlatformWatch watch;
    return watch;
}

QString environmentText(const char *name, const char *fallback)
{
    return qEnvironmentVariableIsEmpty(name) ? QString::fromLatin1(fallback)
                                             : qEnvironmentVariable(name);
}

[[noreturn]] void endWithLine(const QString &text)
{
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

QString said(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString said(const std::string &text) { return QString::fromStdString(text); }

std::string local(const QByteArray &bytes) { return QString::fromLocal8Bit(bytes).toStdString(); }

// The one line said when no window system could be started, naming what is missing.
QString platformFailure(const std::vector<HeldMessage> &held)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    for (const HeldMessage &m : held) {
        if (!m.text.contains(QLatin1String("Could not find the Qt platform plugin")))
            continue;
        if (platform.startsWith("wayland"))
            return said(tr("Quillendor cannot start: Qt's Wayland platform plugin is not "
                           "installed (Debian package qt6-wayland)."));
        if (platform.isEmpty() || platform == "xcb")
            return said(tr("Quillendor cannot start: Qt's X11 platform plugin is not installed "
                           "(Debian package qt6-qpa-plugins)."));
        return said(trFormat("Quillendor cannot start: Qt has no platform plugin \"%s\".",
                             {local(platform)}));
    }
    if (platform.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return said(tr("Quillendor cannot start: no display to show its windows on (neither "
                       "DISPLAY for X11 nor WAYLAND_DISPLAY for Wayland is set)."));
    if (platform.isEmpty() || platform == "xcb")
        return said(trFormat("Quillendor cannot start: cannot open the X display \"%s\".",
                             {environmentText("DISPLAY", "").toStdString()}));
    if (platform.startsWith("wayland"))
        return said(trFormat("Quillendor cannot start: cannot connect to the Wayland display "
                             "\"%s\".",
                             {environmentText("WAYLAND_DISPLAY", "wayland-0").toStdString()}));
    return said(trFormat("Quillendor cannot start: the window system \"%s\" could not be "
                         "started.",
                         {local(platform)}));
}

// When the connection to the display breaks, Qt's X11 and Wayland plugins say so in these words
// and end the process themselves, with more lines from Xlib or from a second thread on the way.
// The line that replaces them, or an empty string for any other message.
QString displayLost(const QString &message)
{
    if (message.startsWith(QLatin1String("The X11 connection broke")))
        return said(trFormat("Quillendor ends: the connection to the X display \"%s\" was lost.",
                             {environmentText("DISPLAY", "").toStdString()}));
    if (message.startsWith(QLatin1String("The Wayland connection")))
        return said(trFormat("Quillendor ends: the connection to the Wayland display \"%s\" "
                             "was lost.",
                             {environmentText("WAYLAND_DISPLAY", "wayland-0").toStdString()}));
    return {};
}

void watchPlatformMessages(QtMsgType type, const QMessageLogContext &context,
                           const QString &text)
{
    PlatformWatch &watch = platformWatch();
    std::unique_lock guard(watch.lock);
    if (watch.starting) {
        // Qt would abort on this one, leaving a core dump for what is only a missing display.
        if (type == QtFatalMsg)
            endWithLine(platformFailure(watch.held));
        watch.held.push_back({type, QByteArray(context.category), text});
        return;
    }
    if (type != QtDebugMsg && type != QtInfoMsg) {
        if (const QString lost = displayLost(text); !lost.isEmpty())
            endWithLine(lost);
    }
    const QtMessageHandler previous = watch.previous;
    guard.unlock();
    if (previous) {
        previous(type, context, text);
    } else {
        const QByteArray line = qFormatLogMessage(type, context, text).toLocal8Bit() + '\n';
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    }
}

} // namespace

void choosePlatform()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                         || qgetenv("XDG_SESSION_TYPE") == "wayland";
    // sway (it names its socket to the programs it starts) puts every X11 window on the focused
    // output, so through XWayland the other monitors would stay uncovered; on Wayland a window
    // can ask for full screen on a given output.
    const bool sway = !qEnvironmentVariableIsEmpty("SWAYSOCK");
    if (wayland)
        qputenv("QT_QPA_PLATFORM", x11 && !sway ? "xcb" : "wayland");
}

void watchPlatform()
{
    PlatformWatch &watch = platformWatch();
    std::lock_guard guard(watch.lock);
    if (watch.starting)
        return;
    watch.held.clear();
    watch.starting = true;
    watch.previous = qInstallMessageHandler(watchPlatformMessages);
}

void platformStarted()
{
    std::vector<HeldMessage> held;
    {
        PlatformWatch &watch = platformWatch();
        std::lock_guard guard(watch.lock);
        watch.starting = false;
        held.swap(watch.held);
    }
    for (const HeldMessage &m : held) {
        const QMessageLogger logger(nullptr, 0, nullptr,
                                    m.category.isEmpty() ? nullptr : m.category.constData());
        switch (m.type) {
        case QtDebugMsg:
            logger.debug("%s", qUtf8Printable(m.text));
            break;
        case QtInfoMsg:
            logger.info("%s", qUtf8Printable(m.text));
            break;
        case QtWarningMsg:
            logger.warning("%s", qUtf8Printable(m.text));
            break;
        default:
            logger.critical("%s", qUtf8Printable(m.text));
            break;
        }
    }
}

void stayOffAbsentSessionBus()
{
    sessionBusDisabledHere = qEnvironmentVariableIsEmpty(SessionBus);
    if (sessionBusDisabledHere)
        qputenv(SessionBus, "disabled:");
}

std::vector<std::string> variablesSetForThisProgram()
{
    if (sessionBusDisabledHere)
        return {SessionBus};
    return {};
}

void prepareApplication()
{
    QApplication::setApplicationName(QStringLiteral("Quillendor"));
    // No display name: Qt would append it to every window title ("Form1 — Quillendor"); the
    // message boxes take the application name as their caption all the same.
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setDesktopFileName(QStringLiteral("quillendor"));
    // The registry alone decides when the program ends: hidden windows and message boxes must
    // neither end it early nor keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(style);
        QApplication::setPalette(style->standardPalette());
    }
    QApplication::setWindowIcon(toIcon(Picture::ProgramIcon));
    // Arabic and Hebrew: every window runs right to left, the message box's too.
    if (rightToLeft())
        QApplication::setLayoutDirection(Qt::RightToLeft);
    installAccessibility();
    static QtBackend qtBackend;
    setBackend(&qtBackend);
}

namespace {

// The end of the process, once the registry has said the program is done. The toolkit is not
// torn down: the program keeps nothing that needs it (it writes no file), and Qt 6.4's Wayland
// plugin can deadlock in its teardown. ~QWaylandDisplay waits for its event thread, which sits in
// wl_display_read_events waiting for the main thread, the display's other reader, to read or
// cancel the read it prepared; the main thread is the one waiting in ~QWaylandDisplay, so
// neither goes on, the connection stays open and the compositor keeps the last dialog on the
// screen. Ending the process closes the connection to the display instead, and the window system
// removes every window of the program with it, on X11 and Wayland alike.
[[noreturn]] void endProcess(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
#if defined(__SANITIZE_ADDRESS__)
    // std::_Exit skips the exit-time leak check; run it here, where only what is leaked counts.
    __lsan_do_leak_check();
#endif
    std::_Exit(status);
}

} // namespace

char32_t decimalSeparator()
{
    const QString separator = QLocale::system().decimalPoint();
    if (separator.isEmpty())
        return U'.';
    return separator.toUcs4().value(0, U'.');
}

namespace {

// The options every Qt program reads (QGuiApplication, QApplication and the X11 platform), and
// whether each takes a value: the program leaves them to Qt.
constexpr std::pair<std::string_view, bool> QtOptions[] = {
    {"platform", true},  {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true},    {"qwindowgeometry", true},    {"qwindowicon", true},
    {"qwindowtitle", true}, {"session", true},         {"display", true},
    {"name", true},      {"geometry", true},           {"title", true},
    {"style", true},     {"stylesheet", true},         {"reverse", false},
    {"widgetcount", false}, {"nograb", false},         {"dograb", false},
    {"sync", false},
};

} // namespace

const CommandLineStyle &commandLineStyle()
{
    static const CommandLineStyle style{"quillendor", false, QtOptions};
    return style;
}

namespace {

void say(std::FILE *to, const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

} // namespace

void run(int argc, char **argv, const ProgramWindows &windows)
{
    // Before anything is said: the answers to the command line and the lines of a platform that
    // does not start are translated too.
    startCatalogs();
    const CommandLineStyle &style = commandLineStyle();
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    const CommandLine line = readCommandLine(arguments, style, windows, decimalSeparator());
    switch (line.answer) {
    case CommandLine::Answer::Help:
        say(stdout, helpText(style, decimalSeparator()));
        endProcess(ExitDone);
    case CommandLine::Answer::Version:
        say(stdout, versionText());
        endProcess(ExitDone);
    case CommandLine::Answer::Mistake:
        say(stderr, mistakeText(style, line.mistake));
        endProcess(ExitUsage);
    case CommandLine::Answer::Run:
        break;
    }
    choosePlatform();
    stayOffAbsentSessionBus();
    // An X display that goes away as the program writes to it would kill it with SIGPIPE (libxcb
    // writes with writev), before Qt finds the connection broken and the program can say so in
    // its one line. Ignored, the write fails and the broken connection ends the program as when
    // it reads. The programs it starts get the default back.
    std::signal(SIGPIPE, SIG_IGN);
    watchPlatform();
    QApplication app(argc, argv);
    platformStarted();
    prepareApplication();

    Registry registry;
    windows.define(registry);
    int status = 0;
    registry.setEndHandler([&status](int code) {
        status = code;
        QCoreApplication::exit(code);
    });
    std::function<void()> asked;
    if (line.start != StartWith::Dialog)
        asked = [&] { windows.start(line.start, line.seconds); };
    if (startUp(registry, asked))
        app.exec();
    endProcess(status);
}

} // namespace quill
