#pragma once

#include "LIOHIDObject.h"
#include "LIOService.h"
#include "LObjPtr_.h"
#include "LPipe.h"
#include "LString.h"

#include <memory>

class LHidTransport;
class LIOHIDManager;

// Property keys of a HID device; they read the registry entry's idVendor, idProduct,
// locationID, "USB Serial Number", "USB Product Name" and "USB Vendor Name".
inline constexpr char kIOHIDVendorIDKey[] = "VendorID";
inline constexpr char kIOHIDProductIDKey[] = "ProductID";
inline constexpr char kIOHIDLocationIDKey[] = "LocationID";
inline constexpr char kIOHIDSerialNumberKey[] = "SerialNumber";
inline constexpr char kIOHIDProductKey[] = "Product";
inline constexpr char kIOHIDManufacturerKey[] = "Manufacturer";

// One HID device as a byte stream: Write sends an output report (report ID 0); input reports,
// read by a source on the device's run loop, are queued into a pipe whose read end is the
// stream's read descriptor, so WaitReadable and Read work on them with time-outs from any thread.
class LIOHIDDevice : public LIOHIDObject, public LStream {
public:
    // What the manager found: where the device is reached and what it says about itself.
    struct _SDeviceRef {
        enum Transport { kHidraw, kSocket };
        Transport transport = kHidraw;
        LString path;       // the hidraw node or the socket
        LIOService service; // the USB device's registry entry, or the virtual device's record
    };

    static constexpr unsigned long kReportBufferSize = 128;

    LIOHIDDevice(LIOHIDManager* manager, const _SDeviceRef& device);
    ~LIOHIDDevice() override;

    // A property by its key above; the default (or the empty string) when it is missing.
    long IntProperty(const char* key, long defaultValue) const;
    LString StringProperty(const char* key) const;

    // Closes first, so queued input is discarded. False (and closed) when the run loop is
    // missing or the device or the pipe can't be opened.
    bool Open() override;
    void Close() override;
    bool IsOpened() const override { return mPipe.ReadDescriptor() >= 0; }
    int ReadDescriptor() const override { return mPipe.ReadDescriptor(); }
    void FlushReadData() override { mPipe.FlushReadData(); }
    // One output report: length when it was sent, 0 when not (also on an unopened device).
    ssize_t Write(const void* bytes, unsigned long length) override;
    // Starts delivering input reports on RunLoop(); may be called from any thread.
    virtual bool ScheduleWithRunLoop();
    // Queues a delivered report into the pipe; failed (result non-zero) and empty ones are
    // dropped.
    virtual void HandleInputReport(int result, const uint8_t* report, long length);

private:
    struct _SInputLink;

    void UnscheduleFromRunLoop();
    // Reads one report from the device; false once the device is gone.
    bool ReceiveInputReport();

    LObjPtr_<LIOHIDManager> mManager;
    _SDeviceRef mDevice;
    std::unique_ptr<LHidTransport> mTransport;
    std::shared_ptr<_SInputLink> mInputLink;
    LPipe mPipe;
};
