#include "CKdIONotification.h"

#include "KdUsbIdentity.h"

LIOService CKdIONotification::MatchingDictionaryUsb() {
    LIOService matching;
    matching.SetValue(kIOVendorIDKey, int64_t(kKdUsbVendorID));
    matching.SetValue(kIOProductIDKey, int64_t(kKdUsbProductID));
    return matching;
}

bool CKdIONotification::StartNotification() {
    return SetMatchingInfo(MatchingDictionaryUsb());
}

CKdUsbDevice* CKdIONotification::IsUsbDeviceValid(const LIOService& service) {
    return new CKdUsbDevice(service.Int64Value(kIOSessionIDKey, 0),
                            LIOUsbDevice::_SDeviceInfo::FromService(service),
                            CKdUsbDevice::BsdPathOf(service));
}

CKdUsbDevice* CKdIONotification::DeviceAtIndex(int index) const {
    return dynamic_cast<CKdUsbDevice*>(ObjectAtIndex(index));
}

void CKdIONotification::RawDeviceAdded(const LIOService& service) {
    CKdUsbDevice* device = IsUsbDeviceValid(service);
    if (!device) return;
    *this << device; // the list takes over the creation reference
    if (GetDelegate())
        GetDelegate()->RawDeviceAdded(this, service, static_cast<LIOUsbDevice*>(device));
}

void CKdIONotification::RawDeviceRemoved(const LIOService& service) {
    LObjPtr_<LIOUsbDevice> device = DeviceWithSessionID(service.Int64Value(kIOSessionIDKey, 0));
    if (!device) return;
    device->mRemoved = true;
    RemoveObject(device);
    if (GetDelegate()) GetDelegate()->RawDeviceRemoved(this, service, device.Get());
}

void CKdIONotification::SerialNodeAdded(int64_t sessionID, const char* node) {
    if (auto* device = dynamic_cast<CKdUsbDevice*>(DeviceWithSessionID(sessionID)))
        device->SerialNodeAdded(node);
}
