#pragma once

#include "LObject.h"
#include "LString.h"

#include <atomic>
#include <cstdint>

class LIOService;
class LPrmManager;
class LStream;

// One attached USB device as the notification reports it: its identity, its session identifier
// (unique per attachment) and whether it has been unplugged. The device link implements how it
// is reached.
class LIOUsbDevice : public virtual LObject {
public:
    struct _SDeviceInfo {
        uint32_t vendorID = 0;
        LString vendorName;
        uint32_t productID = 0;
        LString productName;
        LString serialNumber;
        uint32_t locationID = 0;

        void Clear();
        // The identity under the registry keys; missing numbers give 0, missing texts "".
        static _SDeviceInfo FromService(const LIOService& service);
    };

    LIOUsbDevice() = default;
    LIOUsbDevice(int64_t sessionID, const _SDeviceInfo& info);
    ~LIOUsbDevice() override = default;

    // The vendor identifier in bits 32-63, the product identifier below.
    virtual uint64_t VendorProduct() const;
    virtual LStream* DeviceStream() = 0;
    virtual LPrmManager* PrmManager() = 0;
    virtual void CloseDevice() = 0;
    virtual LStream* CreateStream() = 0;

    // Set by the notification when the device leaves; readable from any thread.
    std::atomic<bool> mRemoved{false};
    int64_t mSessionID = 0;
    _SDeviceInfo mInfo;
};
