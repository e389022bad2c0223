#include "KdMainWindow.h"
#include "KdScreenshots.h"

#include <QApplication>
#include <QCommandLineParser>

#include <syslog.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kaldo-utility");
    QApplication::setApplicationDisplayName("KALDO-1 Utility");
    QApplication::setApplicationVersion(KALDO_VERSION);
    QApplication::setDesktopFileName("org.kaldo.utility");
    QApplication::setWindowIcon(QIcon(":/kaldo-utility.svg"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Settings, remote control and firmware update of KALDO-1 video switchers.\n"
        "Switchers attached by USB and virtual switchers (kaldo-sim) are listed by themselves.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption deviceOption(
        "device", "Also list a switcher reached through the serial node PATH (repeatable).",
        "PATH");
    parser.addOption(deviceOption);
    const QCommandLineOption screenshotOption(
        "screenshots",
        "Wait for the switcher to open, write a picture of every settings page in a light and "
        "a dark palette into DIR, then quit.",
        "DIR");
    parser.addOption(screenshotOption);
    parser.process(app);

    // The menu tree's selections go to the system log, and to stderr from a terminal.
    openlog("kaldo-utility", isatty(STDERR_FILENO) ? LOG_PERROR : 0, LOG_USER);

    KdMainWindow window;
    for (const QString& path : parser.values(deviceOption))
        window.addManualDevice(path.toLocal8Bit().constData());
    // Last step of the start-up: the companion's link is ready as soon as the window is.
    window.udpListen();
    window.show();
    if (parser.isSet(screenshotOption))
        return KdScreenshots::TakeAll(window, parser.value(screenshotOption));
    return app.exec();
}
