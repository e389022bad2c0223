#include "LIOService.h"

#include "LUdevDevice.h"

LIOService LIOService::FromUdevDevice(const LUdevDevice& device) {
    LIOService service;
    service.SetValue(kIOSessionIDKey, UdevSessionID(device));
    service.SetValue(kIOLocationIDKey, int64_t(device.UsbLocationID()));
    // Sysfs attributes exist only while the device is attached; a removal has none of them.
    const int64_t vendorID = device.IntSysAttr("idVendor", -1, 16);
    const int64_t productID = device.IntSysAttr("idProduct", -1, 16);
    if (vendorID >= 0) service.SetValue(kIOVendorIDKey, vendorID);
    if (productID >= 0) service.SetValue(kIOProductIDKey, productID);
    service.SetValue(kIOVendorNameKey, device.SysAttr("manufacturer"));
    service.SetValue(kIOProductNameKey, device.SysAttr("product"));
    service.SetValue(kIOSerialNumberKey, device.SysAttr("serial"));
    for (const LUdevDevice& tty : device.Children("tty")) {
        if (tty.Devnode().Length() == 0) continue;
        service.SetValue(kIOTtyPathKey, tty.Devnode());
        break;
    }
    return service;
}

int64_t LIOService::UdevSessionID(const LUdevDevice& device) {
    const int64_t bus = device.IntProperty("BUSNUM", 0);
    const int64_t address = device.IntProperty("DEVNUM", 0);
    if (bus <= 0 || address <= 0) return 0;
    // FNV-1a of the sysfs path. The kernel gives every attachment a new device number, so path,
    // bus and number tell attachments apart; udev's own values (USEC_INITIALIZED) are not
    // used, as a device listed before udev has finished with it does not carry them yet.
    const LString path = device.Syspath();
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char* c = path; *c; ++c)
        hash = (hash ^ uint8_t(*c)) * 0x100000001b3u;
    return int64_t(hash & ((uint64_t(1) << 46) - 1)) << 15 | (bus & 0xFF) << 7 | (address & 0x7F);
}

void LIOService::SetValue(const char* key, const char* value) {
    if (!key) return;
    if (value && *value)
        mValues[key] = value;
    else
        mValues.erase(key);
}

void LIOService::SetValue(const char* key, int64_t value) {
    if (key) mValues[key] = std::to_string(value);
}

void LIOService::RemoveValue(const char* key) {
    if (key) mValues.erase(key);
}

bool LIOService::HasValue(const char* key) const {
    return key && mValues.count(key) != 0;
}

LString LIOService::StringValue(const char* key) const {
    if (!key) return LString();
    auto it = mValues.find(key);
    return it == mValues.end() ? LString() : LString(it->second.c_str());
}

int64_t LIOService::Int64Value(const char* key, int64_t defaultValue) const {
    return LUdevDevice::ParseInt(StringValue(key), defaultValue);
}

bool LIOService::Matches(const LIOService& matching) const {
    for (const auto& [key, value] : matching.mValues) {
        auto it = mValues.find(key);
        if (it == mValues.end() || it->second != value) return false;
    }
    return true;
}
