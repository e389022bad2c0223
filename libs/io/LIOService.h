#pragma once

#include "LString.h"

#include <cstdint>
#include <map>
#include <string>

class LUdevDevice;

// Registry keys of a USB device, as the notification reports them.
inline constexpr char kIOVendorIDKey[] = "idVendor";
inline constexpr char kIOProductIDKey[] = "idProduct";
inline constexpr char kIOVendorNameKey[] = "USB Vendor Name";
inline constexpr char kIOProductNameKey[] = "USB Product Name";
inline constexpr char kIOSerialNumberKey[] = "USB Serial Number";
inline constexpr char kIOLocationIDKey[] = "locationID";
inline constexpr char kIOSessionIDKey[] = "sessionID";
// Where the device is reached: the serial node (the USB device's tty, a virtual device's
// pseudo-terminal or a manual path) or the socket of a virtual HID device; and a virtual
// device's kind ("serial" or "hid").
inline constexpr char kIOTtyPathKey[] = "TTY Path";
inline constexpr char kIOSocketPathKey[] = "Socket Path";
inline constexpr char kIOKindKey[] = "Kind";

// Session identifiers of devices that udev does not report have bit 62 set; those of manual
// entries (a serial node given by path) have bit 61 set as well.
inline constexpr int64_t kIOVirtualSessionBit = int64_t(1) << 62;
inline constexpr int64_t kIOManualSessionBit = int64_t(1) << 61;

// One registry entry: the properties of a device under the keys above, read from udev or from a
// virtual device record. Also serves as a matching dictionary. Reads of missing keys or of
// values of another type give the default (or the empty string).
class LIOService {
public:
    LIOService() = default;

    // The entry of a USB device (devtype "usb_device"). Its session identifier comes from
    // properties that a removal event carries too, so an added and a removed device agree.
    static LIOService FromUdevDevice(const LUdevDevice& device);
    // A 64-bit identifier unique per attachment, from values that the enumeration, the add and
    // the remove event all carry: sysfs path, bus and device number. Bits 61-63 stay clear; 0
    // without bus or device number.
    static int64_t UdevSessionID(const LUdevDevice& device);

    void SetValue(const char* key, const char* value);
    void SetValue(const char* key, int64_t value);
    void RemoveValue(const char* key);
    bool HasValue(const char* key) const;
    bool IsEmpty() const { return mValues.empty(); }

    LString StringValue(const char* key) const;
    int64_t Int64Value(const char* key, int64_t defaultValue) const;

    // True when this entry has every key of matching with the same value.
    bool Matches(const LIOService& matching) const;

private:
    std::map<std::string, std::string> mValues;
};
