#pragma once

#include "LRunLoopSource.h"

#include <systemd/sd-bus.h>

#include <functional>

// Tells when the computer has woken from sleep: logind's PrepareForSleep(false) on the system
// bus, read on the main run loop, which must be installed first. Without a system bus or a main
// run loop it never fires (and logs why when the run loop is missing).
class KdWakeNotification {
public:
    using Handler = std::function<void()>;

    explicit KdWakeNotification(Handler onWake);
    ~KdWakeNotification();
    KdWakeNotification(const KdWakeNotification&) = delete;
    KdWakeNotification& operator=(const KdWakeNotification&) = delete;

    bool IsWatching() const { return mBus != nullptr; }

private:
    static int OnPrepareForSleep(sd_bus_message* message, void* self, sd_bus_error* error);
    void ProcessBus();

    Handler mOnWake;
    sd_bus* mBus = nullptr;
    sd_bus_slot* mSlot = nullptr;
    LRunLoopSource mSource;
};
