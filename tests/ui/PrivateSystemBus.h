#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>

#include <systemd/sd-bus.h>

// A private bus daemon standing for the system bus (DBUS_SYSTEM_BUS_ADDRESS points at it while it
// runs), and clients on it that stand for logind and others.
class PrivateSystemBus {
public:
    static bool IsAvailable() { return !QStandardPaths::findExecutable("dbus-daemon").isEmpty(); }

    // Starts the daemon and waits for its address; false when it did not start.
    bool Start() {
        mDaemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!mDaemon.waitForStarted()) return false;
        while (!mDaemon.canReadLine())
            if (!mDaemon.waitForReadyRead(5000)) return false;
        mAddress = mDaemon.readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", mAddress);
        return true;
    }
    ~PrivateSystemBus() {
        mDaemon.terminate();
        mDaemon.waitForFinished();
    }

    // A client connection; owns name when one is given. Null on failure.
    sd_bus* Connect(const char* name = nullptr) const {
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0) return nullptr;
        sd_bus_set_address(bus, mAddress.constData());
        sd_bus_set_bus_client(bus, 1);
        if (sd_bus_start(bus) < 0 || (name && sd_bus_request_name(bus, name, 0) < 0)) {
            sd_bus_unref(bus);
            return nullptr;
        }
        return bus;
    }
    // logind's announcement on the client bus: true before sleep, false after waking.
    static void EmitPrepareForSleep(sd_bus* bus, bool goingToSleep) {
        sd_bus_emit_signal(bus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                           "PrepareForSleep", "b", int(goingToSleep));
        sd_bus_flush(bus);
    }

private:
    QProcess mDaemon;
    QByteArray mAddress;
};
