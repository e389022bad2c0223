#include "CKdSleepInhibitor.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr uint64_t kCallTimeoutUs = 1000000;
}

CKdSleepInhibitor::CKdSleepInhibitor() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    int fd = -1;
    // A bus without logind must not hold up the update window: the call waits one second.
    if (sd_bus_message_new_method_call(bus, &call, "org.freedesktop.login1",
                                       "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       "Inhibit") >= 0 &&
        sd_bus_message_append(call, "ssss", "sleep:idle", "kaldo-utility",
                              "Firmware update in progress", "block") >= 0 &&
        sd_bus_call(bus, call, kCallTimeoutUs, &error, &reply) >= 0 &&
        sd_bus_message_read(reply, "h", &fd) >= 0)
        mLockFd = fcntl(fd, F_DUPFD_CLOEXEC, 3); // the reply owns fd
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
}

CKdSleepInhibitor::~CKdSleepInhibitor() {
    if (mLockFd >= 0) close(mLockFd);
}
