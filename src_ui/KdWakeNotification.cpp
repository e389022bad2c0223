#include "KdWakeNotification.h"

#include <syslog.h>
#include <systemd/sd-bus.h>
#include <utility>

KdWakeNotification::KdWakeNotification(Handler onWake) : mOnWake(std::move(onWake)) {
    if (sd_bus_open_system(&mBus) < 0) {
        mBus = nullptr;
        return;
    }
    // Asynchronous, so that a slow bus never holds up the window's start.
    if (sd_bus_match_signal_async(mBus, &mSlot, "org.freedesktop.login1", "/org/freedesktop/login1",
                                  "org.freedesktop.login1.Manager", "PrepareForSleep",
                                  &KdWakeNotification::OnPrepareForSleep, nullptr, this) < 0) {
        mBus = sd_bus_flush_close_unref(mBus);
        return;
    }
    // The connection completes only on a run loop that reads the bus: without one nothing would
    // ever be heard, so say so and keep no bus.
    mSource = LRunLoopSource(sd_bus_get_fd(mBus), [this] { ProcessBus(); });
    if (!mSource.AddRunLoopSource()) {
        syslog(LOG_WARNING, "Waking from sleep is not watched: no main run loop reads the bus");
        sd_bus_slot_unref(std::exchange(mSlot, nullptr));
        mBus = sd_bus_flush_close_unref(mBus);
        return;
    }
    ProcessBus();
}

KdWakeNotification::~KdWakeNotification() {
    mSource.RemoveRunLoopSource();
    sd_bus_slot_unref(mSlot);
    sd_bus_flush_close_unref(mBus);
}

int KdWakeNotification::OnPrepareForSleep(sd_bus_message* message, void* self, sd_bus_error*) {
    int goingToSleep = 0;
    if (sd_bus_message_read(message, "b", &goingToSleep) >= 0 && !goingToSleep) {
        auto* watcher = static_cast<KdWakeNotification*>(self);
        if (watcher->mOnWake) watcher->mOnWake();
    }
    return 0;
}

void KdWakeNotification::ProcessBus() {
    while (sd_bus_process(mBus, nullptr) > 0) {
    }
}
