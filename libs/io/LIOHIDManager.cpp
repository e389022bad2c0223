#include "LIOHIDManager.h"

#include "LIOVirtualDeviceDir.h"
#include "LUdevEnumerate.h"

#include <cstdio>
#include <vector>

namespace {

using _SDeviceRef = LIOHIDDevice::_SDeviceRef;

constexpr unsigned kBusUsb = 0x0003;

// The hidraw nodes of USB HID devices, each with the registry entry of its USB device.
void AppendHidrawDevices(std::vector<_SDeviceRef>& devices) {
    LUdev context = LUdev::Create();
    LUdevEnumerate enumerate(context);
    if (!enumerate.MatchSubsystem("hidraw")) return;
    for (const LUdevDevice& node : enumerate.ScanDevices()) {
        // HID_ID is "BBBB:VVVVVVVV:PPPPPPPP": bus, vendor and product in hex. A Bluetooth
        // device behind a USB adapter has a USB ancestor too, so the bus must be checked.
        LString hidID = node.ParentWithSubsystem("hid").Property("HID_ID");
        unsigned bus = 0, vendor = 0, product = 0;
        int consumed = 0;
        if (sscanf(hidID, "%x:%x:%x%n", &bus, &vendor, &product, &consumed) != 3 ||
            hidID.CString()[consumed] != '\0' || bus != kBusUsb)
            continue;
        LUdevDevice usb = node.ParentWithSubsystem("usb", "usb_device");
        if (!usb || node.Devnode().Length() == 0) continue;
        _SDeviceRef device{_SDeviceRef::kHidraw, node.Devnode(), LIOService::FromUdevDevice(usb)};
        device.service.SetValue(kIOVendorIDKey, int64_t(vendor));
        device.service.SetValue(kIOProductIDKey, int64_t(product));
        devices.push_back(device);
    }
}

// The virtual HID devices that records announce.
void AppendVirtualDevices(std::vector<_SDeviceRef>& devices) {
    for (const LIOService& record : LIOVirtualDeviceDir().ReadRecords())
        if (record.StringValue(kIOKindKey) == "hid")
            devices.push_back({_SDeviceRef::kSocket, record.StringValue(kIOSocketPathKey), record});
}

bool Matches(const LIOService& service, const LIOHIDManager::_SMatching& matching) {
    return service.Int64Value(kIOVendorIDKey, -1) == matching.vendorID &&
           service.Int64Value(kIOProductIDKey, -1) == matching.productID &&
           (!matching.locationID ||
            service.Int64Value(kIOLocationIDKey, -1) == *matching.locationID);
}

} // namespace

LObjList_<LIOHIDDevice> LIOHIDManager::MatchingDevices(const _SMatching& matching) {
    std::vector<_SDeviceRef> found;
    AppendHidrawDevices(found);
    AppendVirtualDevices(found);
    LObjList_<LIOHIDDevice> list;
    for (const _SDeviceRef& ref : found)
        if (Matches(ref.service, matching)) list << new LIOHIDDevice(this, ref);
    return list;
}
