#include "LUdevDevice.h"

#include "LUdevEnumerate.h"

#include <cerrno>
#include <cstdlib>

namespace {
// libudev getters return null for a missing value; LString takes null as empty.
LString Text(const char* value) {
    return LString(value);
}
} // namespace

LUdevDevice LUdevDevice::FromSyspath(const LUdev& context, const char* syspath) {
    LUdevDevice device;
    if (context && syspath) device << udev_device_new_from_syspath(context.Get(), syspath);
    return device;
}

LString LUdevDevice::Syspath() const {
    return Get() ? Text(udev_device_get_syspath(Get())) : "";
}
LString LUdevDevice::Sysname() const {
    return Get() ? Text(udev_device_get_sysname(Get())) : "";
}
LString LUdevDevice::Subsystem() const {
    return Get() ? Text(udev_device_get_subsystem(Get())) : "";
}
LString LUdevDevice::Devtype() const {
    return Get() ? Text(udev_device_get_devtype(Get())) : "";
}
LString LUdevDevice::Devnode() const {
    return Get() ? Text(udev_device_get_devnode(Get())) : "";
}
LString LUdevDevice::Action() const {
    return Get() ? Text(udev_device_get_action(Get())) : "";
}

LString LUdevDevice::Property(const char* key) const {
    return Get() && key ? Text(udev_device_get_property_value(Get(), key)) : "";
}

int64_t LUdevDevice::IntProperty(const char* key, int64_t defaultValue, int base) const {
    return ParseInt(Property(key), defaultValue, base);
}

LString LUdevDevice::SysAttr(const char* key) const {
    return Get() && key ? Text(udev_device_get_sysattr_value(Get(), key)) : "";
}

int64_t LUdevDevice::IntSysAttr(const char* key, int64_t defaultValue, int base) const {
    return ParseInt(SysAttr(key), defaultValue, base);
}

LUdevDevice LUdevDevice::Parent() const {
    // The parent belongs to this device: the wrapper takes its own reference.
    return LUdevDevice(Get() ? udev_device_get_parent(Get()) : nullptr);
}

LUdevDevice LUdevDevice::ParentWithSubsystem(const char* subsystem, const char* devtype) const {
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
