#include "KdMainWindow.h"
#include "KdScreenshots.h"

#include <QApplication>
#include <QCommandLineParser>

#include <syslog.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("kaldo");
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
    const QCommandLineOption companionPortOption(
        "companion-port",
        "Take companion events on 127.0.0.1:PORT and send replies to PORT + 1 (default 51514).",
        "PORT");
    parser.addOption(companionPortOption);
    const QCommandLineOption noCompanionOption("no-companion",
                                               "Do not listen for companion events at all.");
    parser.addOption(noCompanionOption);
    const QCommandLineOption anyUserOption(
        "companion-any-user",
        "Take companion events from programs of every local user, not only of this one.");
    parser.addOption(anyUserOption);
    parser.process(app);

    uint16_t eventPort = CKdUdpLink::kEventPort;
    uint16_t replyPort = CKdUdpLink::kReplyPort;
    if (parser.isSet(companionPortOption)) {
        bool number = false;
        const uint port = parser.value(companionPortOption).toUInt(&number);
        if (!number || port < 1 || port > 65534) {
            std::fprintf(stderr,
                         "kaldo-utility: --companion-port takes a port from 1 to 65534, "
                         "not \"%s\"\n",
                         parser.value(companionPortOption).toLocal8Bit().constData());
            return 2;
        }
        eventPort = static_cast<uint16_t>(port);
        replyPort = static_cast<uint16_t>(port + 1);
    }

    // The menu tree's selections go to the system log, and to stderr from a terminal.
    openlog("kaldo-utility", isatty(STDERR_FILENO) ? LOG_PERROR : 0, LOG_USER);

    KdMainWindow window;
    for (const QString& path : parser.values(deviceOption))
        window.addManualDevice(path.toLocal8Bit().constData());
    // Last step of the start-up: the companion's link is ready as soon as the window is.
    if (!parser.isSet(noCompanionOption))
        window.udpListen(eventPort, replyPort, parser.isSet(anyUserOption));
    window.show();
    if (parser.isSet(screenshotOption))
        return KdScreenshots::TakeAll(window, parser.value(screenshotOption));
    return app.exec();
}
