#pragma once

#include "LString.h"
#include "LUdev.h"

#include <cstdint>
#include <vector>

// Owning wrapper of a udev device with typed reads of its properties and sysfs attributes; every
// read yields its default (or the empty string) when the device, the key or a valid number is
// missing.
class LUdevDevice : public LUdevType_<udev_device, udev_device_ref, udev_device_unref> {
public:
    using LUdevType_::LUdevType_;
    using LUdevType_::operator=;

    LString Syspath() const;
    LString Sysname() const;
    LString Devtype() const;
    LString Devnode() const;
    // The uevent action ("add", "remove", ...) of a device received from a monitor.
    LString Action() const;

    LString Property(const char* key) const;
    int64_t IntProperty(const char* key, int64_t defaultValue, int base = 10) const;
    LString SysAttr(const char* key) const;
    int64_t IntSysAttr(const char* key, int64_t defaultValue, int base = 10) const;

    // The nearest ancestor of the subsystem (and device type, unless null).
    LUdevDevice ParentWithSubsystem(const char* subsystem, const char* devtype = nullptr) const;
    // The devices below this one, of the given subsystem unless null, in sysfs order.
    std::vector<LUdevDevice> Children(const char* subsystem = nullptr) const;

    // For a USB device (devtype "usb_device"), the packed location: the bus number in bits 24-31
    // and the port path one port per nibble from bit 20 down (bus 1, ports 2.3: 0x01230000).
    // Taken from the device's name ("1-2.3"), so it is known for removed devices too; 0 when
    // the name is not a USB device name.
    uint32_t UsbLocationID() const;

    // text as a whole number in base (0: C prefixes), or defaultValue when it is not one.
    static int64_t ParseInt(const char* text, int64_t defaultValue, int base = 10);
};
