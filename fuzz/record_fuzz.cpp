// Feeds arbitrary text to the virtual device record parser, then uses the entry as the device
// list does: matching, the device description and the identity a virtual device must carry.
//
// Input: the record's text, as the file would hold it.

#include "LIOUsbDevice.h"
#include "LIOVirtualDeviceDir.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LIOService service;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!LIOVirtualDeviceDir::ParseRecord(text, service)) return 0;

    LIOService matching;
    matching.SetValue(kIOVendorIDKey, int64_t(0x1209));
    matching.SetValue(kIOProductIDKey, int64_t(0x4B31));
    service.Matches(matching);
    const LIOUsbDevice::_SDeviceInfo info = LIOUsbDevice::_SDeviceInfo::FromService(service);
    (void)info;

    // What every accepted record guarantees: a virtual session, and the path of its kind only.
    const int64_t session = service.Int64Value(kIOSessionIDKey, 0);
    if ((session & kIOVirtualSessionBit) == 0 || (session & kIOManualSessionBit) != 0) abort();
    const bool serial = service.StringValue(kIOKindKey) == "serial";
    if (service.HasValue(serial ? kIOSocketPathKey : kIOTtyPathKey)) abort();
    if (!service.HasValue(serial ? kIOTtyPathKey : kIOSocketPathKey)) abort();
    if (!service.HasValue(kIOVendorIDKey) || !service.HasValue(kIOProductIDKey)) abort();
    return 0;
}
