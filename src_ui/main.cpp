#include "KdMainWindow.h"

#include <QApplication>
#include <QCommandLineParser>

#include <syslog.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kaldo-utility");
    QApplication::setApplicationDisplayName("KALDO-1 Utility");
    QApplication::setApplicationVersion(KALDO_VERSION);
    QApplication::setDesktopFileName("kaldo-utility");
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
    parser.process(app);

    // The menu tree's selections go to the system log, and to stderr from a terminal.
    openlog("kaldo-utility", isatty(STDERR_FILENO) ? LOG_PERROR : 0, LOG_USER);

    KdMainWindow window;
    for (const QString& path : parser.values(deviceOption))
        window.addManualDevice(path.toLocal8Bit().constData());
    window.show();
    return app.exec();
}
