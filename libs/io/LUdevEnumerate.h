#pragma once

#include "LUdevDevice.h"

#include <vector>

// Owning wrapper of a udev enumeration: add filters, then scan. Every filter and the scan return
// false when there is no enumeration or libudev refuses.
class LUdevEnumerate : public LUdevType_<udev_enumerate, udev_enumerate_ref, udev_enumerate_unref> {
public:
    using LUdevType_::LUdevType_;
    using LUdevType_::operator=;

    // A new enumeration on the context; empty without a context.
    explicit LUdevEnumerate(const LUdev& context);

    bool MatchSubsystem(const char* subsystem);
    // Only devices below parent (the parent itself included, as libudev does).
    bool MatchParent(const LUdevDevice& parent);

    // Scans sysfs and returns the matching devices in sysfs order; empty on failure.
    std::vector<LUdevDevice> ScanDevices();
};
