#pragma once

#include "LUdevDevice.h"

// Owning wrapper of a udev monitor: filter, enable, then receive one device per readable event
// on its descriptor.
class LUdevMonitor : public LUdevType_<udev_monitor, udev_monitor_ref, udev_monitor_unref> {
public:
    using LUdevType_::LUdevType_;
    using LUdevType_::operator=;

    // A monitor of the events that udevd has processed ("udev") or of the kernel's ("kernel");
    // empty on failure.
    static LUdevMonitor FromNetlink(const LUdev& context, const char* source = "udev");

    // Receive only devices of subsystem (and devtype, unless null). Call before EnableReceiving.
    bool AddMatch(const char* subsystem, const char* devtype = nullptr);
    bool EnableReceiving();
    // The descriptor that becomes readable when an event is waiting; -1 without a monitor.
    int Descriptor() const;
    // The next waiting event's device (its Action() tells the event); empty when none waits.
    LUdevDevice ReceiveDevice();
};
