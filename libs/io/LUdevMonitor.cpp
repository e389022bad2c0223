#include "LUdevMonitor.h"

LUdevMonitor LUdevMonitor::FromNetlink(const LUdev& context, const char* source) {
    LUdevMonitor monitor;
    if (context) monitor << udev_monitor_new_from_netlink(context.Get(), source);
    return monitor;
}

bool LUdevMonitor::AddMatch(const char* subsystem, const char* devtype) {
    return Get() && udev_monitor_filter_add_match_subsystem_devtype(Get(), subsystem, devtype) >= 0;
}

bool LUdevMonitor::EnableReceiving() {
    return Get() && udev_monitor_enable_receiving(Get()) >= 0;
}

int LUdevMonitor::Descriptor() const {
    return Get() ? udev_monitor_get_fd(Get()) : -1;
}

LUdevDevice LUdevMonitor::ReceiveDevice() {
    LUdevDevice device;
    if (Get()) device << udev_monitor_receive_device(Get());
    return device;
}
