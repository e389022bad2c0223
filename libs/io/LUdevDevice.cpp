#include "LUdevDevice.h"

#include "LUdevEnumerate.h"

#include <cerrno>
#include <cstdlib>

namespace {
// libudev getters return null for a missing value; LString takes null as empty.
LString Read(udev_device* device, const char* (*getter)(udev_device*)) {
    return LString(device ? getter(device) : nullptr);
}
} // namespace

LString LUdevDevice::Syspath() const {
    return Read(Get(), udev_device_get_syspath);
}
LString LUdevDevice::Sysname() const {
    return Read(Get(), udev_device_get_sysname);
}
LString LUdevDevice::Devtype() const {
    return Read(Get(), udev_device_get_devtype);
}
LString LUdevDevice::Devnode() const {
    return Read(Get(), udev_device_get_devnode);
}
LString LUdevDevice::Action() const {
    return Read(Get(), udev_device_get_action);
}

LString LUdevDevice::Property(const char* key) const {
    return LString(Get() && key ? udev_device_get_property_value(Get(), key) : nullptr);
}

int64_t LUdevDevice::IntProperty(const char* key, int64_t defaultValue, int base) const {
    return ParseInt(Property(key), defaultValue, base);
}

LString LUdevDevice::SysAttr(const char* key) const {
    return LString(Get() && key ? udev_device_get_sysattr_value(Get(), key) : nullptr);
}

int64_t LUdevDevice::IntSysAttr(const char* key, int64_t defaultValue, int base) const {
    return ParseInt(SysAttr(key), defaultValue, base);
}

LUdevDevice LUdevDevice::ParentWithSubsystem(const char* subsystem, const char* devtype) const {
    // The parent belongs to this device: the wrapper takes its own reference.
    if (!Get() || !subsystem) return LUdevDevice();
    return LUdevDevice(udev_device_get_parent_with_subsystem_devtype(Get(), subsystem, devtype));
}

std::vector<LUdevDevice> LUdevDevice::Children(const char* subsystem) const {
    if (!Get()) return {};
    LUdevEnumerate enumerate(LUdev(udev_device_get_udev(Get())));
    enumerate.MatchParent(*this);
    if (subsystem) enumerate.MatchSubsystem(subsystem);
    std::vector<LUdevDevice> children;
    LString self = Syspath();
    for (LUdevDevice& device : enumerate.ScanDevices())
        if (!(device.Syspath() == self.CString())) children.push_back(std::move(device));
    return children;
}

uint32_t LUdevDevice::UsbLocationID() const {
    // "B-P.P.P" for a device, "usbB" for a root hub.
    LString name = Sysname();
    const char* text = name.CString();
    bool rootHub = text[0] == 'u' && text[1] == 's' && text[2] == 'b';
    if (rootHub) text += 3;
    char* end = nullptr;
    errno = 0;
    unsigned long bus = strtoul(text, &end, 10);
    if (end == text || errno || bus == 0 || bus > 0xFF) return 0;
    uint32_t location = static_cast<uint32_t>(bus) << 24;
    if (rootHub) return *end ? 0 : location;
    if (*end != '-') return 0;
    int shift = 20;
    do {
        text = end + 1;
        unsigned long port = strtoul(text, &end, 10);
        if (end == text || port == 0) return 0;
        if (shift >= 0) location |= (static_cast<uint32_t>(port) & 0xF) << shift;
        shift -= 4;
    } while (*end == '.');
    return *end ? 0 : location;
}

int64_t LUdevDevice::ParseInt(const char* text, int64_t defaultValue, int base) {
    if (!text || !*text) return defaultValue;
    char* end = nullptr;
    errno = 0;
    long long value = strtoll(text, &end, base);
    return (errno || *end) ? defaultValue : value;
}
