#include "KdUsbIdentity.h"
#include "LIOHIDManager.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <unistd.h>

namespace {

// Our bootloader at bus 1 ports 2.3 and at bus 2 port 1, another vendor's keyboard, and our
// identifiers on a Bluetooth HID device behind a USB adapter, which must not count as ours.
constexpr char kDevices[] = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2.3
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: busnum=1
A: devpath=2.3
A: idVendor=1209
A: idProduct=4b31
A: serial=BL0001
A: product=KALDO-1 Bootloader
A: manufacturer=Kaldo Systems

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2.3/1-2.3:1.0/0003:1209:4B31.0001
E: SUBSYSTEM=hid
E: HID_ID=0003:00001209:00004B31
E: HID_PHYS=usb-0000:00:14.0-2.3/input0

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2.3/1-2.3:1.0/0003:1209:4B31.0001/hidraw/hidraw0
N: hidraw0
E: SUBSYSTEM=hidraw
E: DEVNAME=/dev/hidraw0
E: MAJOR=240
E: MINOR=0
A: dev=240:0

P: /devices/pci0000:00/0000:00:14.0/usb2/2-1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: busnum=2
A: devpath=1
A: idVendor=1209
A: idProduct=4b31
A: serial=BL0002

P: /devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/0003:1209:4B31.0002
E: SUBSYSTEM=hid
E: HID_ID=0003:00001209:00004B31
E: HID_PHYS=usb-0000:00:14.0-1/input0

P: /devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/0003:1209:4B31.0002/hidraw/hidraw1
N: hidraw1
E: SUBSYSTEM=hidraw
E: DEVNAME=/dev/hidraw1
E: MAJOR=240
E: MINOR=1
A: dev=240:1

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: busnum=1
A: devpath=4
A: idVendor=046d
A: idProduct=c31c

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/0003:046D:C31C.0003
E: SUBSYSTEM=hid
E: HID_ID=0003:0000046D:0000C31C
E: HID_PHYS=usb-0000:00:14.0-4/input0

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/0003:046D:C31C.0003/hidraw/hidraw2
N: hidraw2
E: SUBSYSTEM=hidraw
E: DEVNAME=/dev/hidraw2
E: MAJOR=240
E: MINOR=2
A: dev=240:2

P: /devices/pci0000:00/0000:00:14.0/usb1/1-5
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: busnum=1
A: devpath=5
A: idVendor=8087
A: idProduct=0a2b

P: /devices/pci0000:00/0000:00:14.0/usb1/1-5/1-5:1.0/bluetooth/hci0/hci0:256/0005:1209:4B31.0004
E: SUBSYSTEM=hid
E: HID_ID=0005:00001209:00004B31

P: /devices/pci0000:00/0000:00:14.0/usb1/1-5/1-5:1.0/bluetooth/hci0/hci0:256/0005:1209:4B31.0004/hidraw/hidraw3
N: hidraw3
E: SUBSYSTEM=hidraw
E: DEVNAME=/dev/hidraw3
E: MAJOR=240
E: MINOR=3
A: dev=240:3
)";

constexpr long kVendor = kKdUsbVendorID;
constexpr long kProduct = kKdUsbProductID;

TEST(HidrawTest, FindsTheBootloaderByLocationAndTalksToItsNode) {
    UMockdevTestbed* testbed = umockdev_testbed_new();
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, kDevices, nullptr));

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
    EXPECT_EQ(device->IntProperty(kIOHIDVendorIDKey, 0), kVendor);
    EXPECT_EQ(device->IntProperty(kIOHIDProductIDKey, 0), kProduct);
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
