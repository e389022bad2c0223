#include "LIOUsbDeviceList.h"

LIOUsbDevice* LIOUsbDeviceList::DeviceWithSessionID(int64_t sessionID) const {
    for (int i = 0; i < Count(); ++i)
        if (ObjectAtIndex(i)->mSessionID == sessionID) return ObjectAtIndex(i);
    return nullptr;
}

LIOUsbDevice* LIOUsbDeviceList::DeviceWithSerial(const char* serialNumber) const {
    if (!serialNumber) return nullptr;
    for (int i = 0; i < Count(); ++i)
        if (ObjectAtIndex(i)->mInfo.serialNumber == serialNumber) return ObjectAtIndex(i);
    return nullptr;
}
