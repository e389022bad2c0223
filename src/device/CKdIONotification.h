#pragma once

#include "CKdUsbDevice.h"
#include "LIONotification.h"
#include "LIOUsbDeviceList.h"

// The notification for switchers, and itself the live list of the switchers present, in order
// of arrival. The delegate is told of each arrival and removal with the device object as `more`.
class CKdIONotification : public LIONotification, public LIOUsbDeviceList {
public:
    CKdIONotification() : LIONotification(MatchingDictionaryUsb()) {}

    // Matches the switcher's vendor and product identifiers.
    static LIOService MatchingDictionaryUsb();
    // Arms the notification; switchers already attached are reported before it returns.
    bool StartNotification();
    // A new device for the registry entry; the caller owns it.
    CKdUsbDevice* IsUsbDeviceValid(const LIOService& service);
    // The device at a list position; null outside the list.
    CKdUsbDevice* DeviceAtIndex(int index) const;

protected:
    void RawDeviceAdded(const LIOService& service) override;
    void RawDeviceRemoved(const LIOService& service) override;
    void SerialNodeAdded(int64_t sessionID, const char* node) override;
};
