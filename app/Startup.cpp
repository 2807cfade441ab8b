#include "Startup.h"

#include "Accessibility.h"
#include "ErrorReport.h"
#include "Look.h"
#include "Registry.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace quill {
namespace {

constexpr const char *StartupWindow = "Form1";
constexpr const char *SessionBus = "DBUS_SESSION_BUS_ADDRESS";

bool sessionBusDisabledHere = false;

} // namespace

void preferXWayland()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                         || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (wayland && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
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
    installAccessibility();
}

bool startUp(Registry &registry)
{
    deliver([&] { registry.load(StartupWindow); });
    return !registry.hasEnded();
}

int run(int argc, char **argv, const std::function<void(Registry &)> &defineWindows)
{
    preferXWayland();
    stayOffAbsentSessionBus();
    QApplication app(argc, argv);
    prepareApplication();

    Registry registry;
    defineWindows(registry);
    int status = 0;
    registry.setEndHandler([&status](int code) {
        status = code;
        QCoreApplication::exit(code);
    });
    if (!startUp(registry))
        return status;
    app.exec();
    return status;
}

} // namespace quill
