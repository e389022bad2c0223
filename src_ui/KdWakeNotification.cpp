#include "KdWakeNotification.h"

#include <systemd/sd-bus.h>

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
    mSource = LRunLoopSource(sd_bus_get_fd(mBus), [this] { ProcessBus(); });
    mSource.AddRunLoopSource();
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
