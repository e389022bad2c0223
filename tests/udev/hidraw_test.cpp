#include "KdUsbIdentity.h"
#include "LIOHIDManager.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <string>
#include <unistd.h>

namespace {

// A USB device below the xHCI controller (its path from the root hub, e.g. "usb1/1-2/1-2.3"),
// a HID device below it at `hid` with HID_ID `hidID`, and that one's node /dev/hidraw<minor>.
std::string HidDevice(const std::string& usb, const std::string& hid, const char* hidID, int minor,
                      const char* attributes = "") {
    const std::string usbPath = "/devices/pci0000:00/0000:00:14.0/" + usb;
    const std::string hidPath = usbPath + "/" + hid;
    const std::string n = std::to_string(minor);
    std::string records = "P: " + usbPath + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    records += attributes + std::string("\n");
    records += "P: " + hidPath + "\nE: SUBSYSTEM=hid\nE: HID_ID=" + hidID + "\n\n";
    records += "P: " + hidPath + "/hidraw/hidraw" + n + "\nN: hidraw" + n + "\n";
    records += "E: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw" + n + "\n";
    records += "E: MAJOR=240\nE: MINOR=" + n + "\nA: dev=240:" + n + "\n\n";
    return records;
}

constexpr long kVendor = kKdUsbVendorID;
constexpr long kProduct = kKdUsbProductID;

TEST(HidrawTest, FindsTheBootloaderByLocationAndTalksToItsNode) {
    // Our bootloader at bus 1 ports 2.3 and at bus 2 port 1, another vendor's keyboard, and our
    // identifiers on a Bluetooth HID device behind a USB adapter, which must not count as ours.
    const std::string devices =
        HidDevice(
            "usb1/1-2/1-2.3", "1-2.3:1.0/0003:1209:4B31.0001", "0003:00001209:00004B31", 0,
            "A: serial=BL0001\nA: product=KALDO-1 Bootloader\nA: manufacturer=Kaldo Systems\n") +
        HidDevice("usb2/2-1", "2-1:1.0/0003:1209:4B31.0002", "0003:00001209:00004B31", 1) +
        HidDevice("usb1/1-4", "1-4:1.0/0003:046D:C31C.0003", "0003:0000046D:0000C31C", 2) +
        HidDevice("usb1/1-5", "1-5:1.0/bluetooth/hci0/hci0:256/0005:1209:4B31.0004",
                  "0005:00001209:00004B31", 3);
    UMockdevTestbed* testbed = umockdev_testbed_new();
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, devices.c_str(), nullptr));

    LIOHIDManager manager;
    LObjList_<LIOHIDDevice> ours = manager.MatchingDevices({kVendor, kProduct, {}});
    ASSERT_EQ(ours.Count(), 2);
    EXPECT_EQ(ours.ObjectAtIndex(0)->IntProperty(kIOHIDLocationIDKey, 0), 0x01230000);
    EXPECT_EQ(ours.ObjectAtIndex(1)->IntProperty(kIOHIDLocationIDKey, 0), 0x02100000);
    EXPECT_EQ(manager.MatchingDevices({0x046D, 0xC31C, {}}).Count(), 1);
    EXPECT_EQ(manager.MatchingDevices({kVendor, kProduct, 0x01200000}).Count(), 0);

    LObjList_<LIOHIDDevice> found = manager.MatchingDevices({kVendor, kProduct, 0x01230000});
    ASSERT_EQ(found.Count(), 1);
    LIOHIDDevice* device = found.ObjectAtIndex(0);
    EXPECT_STREQ(device->StringProperty(kIOHIDSerialNumberKey), "BL0001");
    EXPECT_STREQ(device->StringProperty(kIOHIDProductKey), "KALDO-1 Bootloader");
    EXPECT_STREQ(device->StringProperty(kIOHIDManufacturerKey), "Kaldo Systems");

    // The node is held exclusively, and an output report goes out behind report ID 0.
    LPollRunLoop loop;
    device->SetRunLoop(&loop);
    ASSERT_TRUE(device->Open());
    LObjList_<LIOHIDDevice> second = manager.MatchingDevices({kVendor, kProduct, 0x01230000});
    second.ObjectAtIndex(0)->SetRunLoop(&loop);
    EXPECT_FALSE(second.ObjectAtIndex(0)->Open());

    const uint8_t request[] = {0x01, 0x38, 0x00, 0x00};
    EXPECT_EQ(device->Write(request, sizeof request), ssize_t(sizeof request));
    int peer = umockdev_testbed_get_dev_fd(testbed, "/dev/hidraw0");
    ASSERT_GE(peer, 0);
    uint8_t sent[16] = {};
    EXPECT_EQ(read(peer, sent, sizeof sent), ssize_t(sizeof request + 1));
    const uint8_t expected[] = {0x00, 0x01, 0x38, 0x00, 0x00};
    EXPECT_EQ(memcmp(sent, expected, sizeof expected), 0);

    const uint8_t answer[] = {0x01, 0x00, 0x08, 0x00};
    ASSERT_EQ(write(peer, answer, sizeof answer), ssize_t(sizeof answer));
    for (int i = 0; i < 5 && !device->WaitReadable(0); ++i)
        loop.RunOnce(20);
    uint8_t received[16] = {};
    EXPECT_EQ(device->Read(received, sizeof received), ssize_t(sizeof answer));
    EXPECT_EQ(memcmp(received, answer, sizeof answer), 0);

    device->Close();
    loop.RunOnce(0);
    g_object_unref(testbed);
}

} // namespace
