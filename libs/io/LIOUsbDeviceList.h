#pragma once

#include "LIOUsbDevice.h"
#include "LObjList_.h"

// The present USB devices in order of arrival.
class LIOUsbDeviceList : public LObjList_<LIOUsbDevice> {
public:
    // The first device with that session identifier or serial number; null when none.
    LIOUsbDevice* DeviceWithSessionID(int64_t sessionID) const;
    LIOUsbDevice* DeviceWithSerial(const char* serialNumber) const;
};
