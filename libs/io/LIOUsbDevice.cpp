#include "LIOUsbDevice.h"

#include "LIOService.h"

void LIOUsbDevice::_SDeviceInfo::Clear() {
    *this = _SDeviceInfo();
}

LIOUsbDevice::_SDeviceInfo LIOUsbDevice::_SDeviceInfo::FromService(const LIOService& service) {
    _SDeviceInfo info;
    info.vendorID = uint32_t(service.Int64Value(kIOVendorIDKey, 0));
    info.vendorName = service.StringValue(kIOVendorNameKey);
    info.productID = uint32_t(service.Int64Value(kIOProductIDKey, 0));
    info.productName = service.StringValue(kIOProductNameKey);
    info.serialNumber = service.StringValue(kIOSerialNumberKey);
    info.locationID = uint32_t(service.Int64Value(kIOLocationIDKey, 0));
    return info;
}

LIOUsbDevice::LIOUsbDevice(int64_t sessionID, const _SDeviceInfo& info)
    : mSessionID(sessionID), mInfo(info) {}

uint64_t LIOUsbDevice::VendorProduct() const {
    return (uint64_t(mInfo.vendorID) << 32) | mInfo.productID;
}
