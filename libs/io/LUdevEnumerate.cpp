#include "LUdevEnumerate.h"

LUdevEnumerate::LUdevEnumerate(const LUdev& context) {
    if (context) *this << udev_enumerate_new(context.Get());
}

bool LUdevEnumerate::MatchSubsystem(const char* subsystem) {
    return Get() && udev_enumerate_add_match_subsystem(Get(), subsystem) >= 0;
}

bool LUdevEnumerate::MatchParent(const LUdevDevice& parent) {
    return Get() && parent && udev_enumerate_add_match_parent(Get(), parent.Get()) >= 0;
}

std::vector<LUdevDevice> LUdevEnumerate::ScanDevices() {
    std::vector<LUdevDevice> devices;
    if (!Get() || udev_enumerate_scan_devices(Get()) < 0) return devices;
    udev* context = udev_enumerate_get_udev(Get());
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(Get())) {
        LUdevDevice device;
        device << udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (device) devices.push_back(std::move(device));
    }
    return devices;
}
