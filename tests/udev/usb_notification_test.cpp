#include "CKdIONotification.h"
#include "KdUsbIdentity.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kHub[] = "/devices/pci0000:00/0000:00:14.0/usb1";

// One mocked USB device on bus 1 with its CDC interface and tty, described as udev sees it.
struct MockUsb {
    int port;
    int address;
    std::string serial = "K1A0001";
    uint32_t vendor = kKdUsbVendorID;
    uint32_t product = kKdUsbProductID;
    long long initialized = 0; // USEC_INITIALIZED; 0 leaves it out
    std::string tty;           // e.g. "ttyACM0"; empty: no serial interface

    std::string Path() const { return std::string(kHub) + "/1-" + std::to_string(port); }
    std::string Interface() const { return Path() + "/1-" + std::to_string(port) + ":1.0"; }
    std::string Tty() const { return Interface() + "/tty/" + tty; }
};

std::string Format(const char* format, auto... arguments) {
    char text[2048];
    snprintf(text, sizeof text, format, arguments...);
    return text;
}

// Records what the delegate is told: "+serial" / "-serial", and checks that `more` is the
// device object of the live list.
struct Recorder : LIONotification::Delegate {
    void RawDeviceAdded(LIONotification* sender, const LIOService& service, void* more) override {
        events.push_back("+" + Serial(more));
    }
    void RawDeviceRemoved(LIONotification* sender, const LIOService& service, void* more) override {
        events.push_back("-" + Serial(more));
    }
    static std::string Serial(void* more) {
        auto* device = static_cast<LIOUsbDevice*>(more);
        return device ? device->mInfo.serialNumber.CString() : "(none)";
    }
    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

class UsbNotificationTest : public testing::Test {
protected:
    void SetUp() override {
        mTestbed = umockdev_testbed_new();
        ASSERT_TRUE(umockdev_in_mock_environment());
        char pattern[] = "/tmp/kaldo-udev-records-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mRecordDir = pattern;
        setenv("KALDO_DEVICE_DIR", mRecordDir.c_str(), 1);
    }
    void TearDown() override {
        mNotification.reset();
        if (mTestbed) g_object_unref(mTestbed);
        EXPECT_EQ(system(("rm -rf " + mRecordDir).c_str()), 0);
    }

    // Plugs a device in, in kernel order: the device, its interface, its tty.
    void Plug(const MockUsb& usb) {
        std::string device = Format("P: %s\n"
                                    "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                                    "E: DEVNAME=/dev/bus/usb/001/%03d\n"
                                    "E: BUSNUM=001\nE: DEVNUM=%03d\nE: PRODUCT=%x/%x/100\n"
                                    "A: idVendor=%04x\nA: idProduct=%04x\n"
                                    "A: manufacturer=Kaldo Systems\nA: product=KALDO-1\n"
                                    "A: busnum=1\nA: devnum=%d\n",
                                    usb.Path().c_str(), usb.address, usb.address, usb.vendor,
                                    usb.product, usb.vendor, usb.product, usb.address);
        if (!usb.serial.empty()) device += "A: serial=" + usb.serial + "\n";
        if (usb.initialized) device += Format("E: USEC_INITIALIZED=%lld\n", usb.initialized);
        Add(device);
        if (usb.tty.empty()) return;
        Add(Format("P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=cdc_acm\n",
                   usb.Interface().c_str()));
        Add(Format("P: %s\nN: %s\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/%s\nE: MAJOR=166\n"
                   "E: MINOR=%d\nA: dev=166:%d\n",
                   usb.Tty().c_str(), usb.tty.c_str(), usb.tty.c_str(), usb.port, usb.port));
    }
    // Unplugs in kernel order: removal events of the children, then of the device; only then
    // the sysfs entries go.
    void Unplug(const MockUsb& usb) {
        std::vector<std::string> paths = {usb.Path()};
        if (!usb.tty.empty()) paths = {usb.Tty(), usb.Interface(), usb.Path()};
        for (const std::string& path : paths)
            umockdev_testbed_uevent(mTestbed, ("/sys" + path).c_str(), "remove");
        umockdev_testbed_remove_device(mTestbed, ("/sys" + usb.Path()).c_str());
    }
    void Add(const std::string& description) {
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_add_from_string(mTestbed, description.c_str(), &error))
            << (error ? error->message : "") << "\n"
            << description;
    }

    // Publishes a virtual device record as kaldo-sim does: written aside, renamed into place.
    void Publish(const std::string& name, int session, const char* kind = "serial") const {
        const std::string temporary = mRecordDir + "/." + name + ".tmp";
        FILE* file = fopen(temporary.c_str(), "w");
        ASSERT_NE(file, nullptr);
        fprintf(file,
                "kind=%s\nvendor=0x%x\nproduct=0x%x\nserial=SIM%d\nlocation=0x09%d00000\n"
                "session=%d\ntty=/dev/pts/%d\nsocket=/tmp/k%d.sock\n",
                kind, kKdUsbVendorID, kKdUsbProductID, session, session, session, session, session);
        fclose(file);
        ASSERT_EQ(rename(temporary.c_str(), (mRecordDir + "/" + name + ".dev").c_str()), 0);
    }
    void Unpublish(const std::string& name) const {
        ASSERT_EQ(unlink((mRecordDir + "/" + name + ".dev").c_str()), 0);
    }

    void Start() {
        mNotification = std::make_unique<CKdIONotification>();
        mNotification->SetRunLoop(&mLoop);
        mNotification->SetDelegate(&mRecorder);
        EXPECT_TRUE(mNotification->StartNotification());
    }
    // Runs the loop until the delegate has heard count events in all, or the time is up.
    void PumpUntil(size_t count, int limitMs = 1000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (mRecorder.events.size() < count && std::chrono::steady_clock::now() < end)
            mLoop.RunOnce(20);
        mLoop.RunOnce(20); // and nothing more arrives
    }
    std::vector<std::string> ListedSerials() {
        mLoop.RunOnce(100);
        std::vector<std::string> serials;
        for (int i = 0; i < mNotification->Count(); ++i)
            serials.push_back(mNotification->DeviceAtIndex(i)->mInfo.serialNumber.CString());
        return serials;
    }

    UMockdevTestbed* mTestbed = nullptr;
    std::string mRecordDir;
    LPollRunLoop mLoop;
    Recorder mRecorder;
    std::unique_ptr<CKdIONotification> mNotification;
};

TEST_F(UsbNotificationTest, AttachedSwitcherIsReportedDuringStart) {
    MockUsb other{.port = 1, .address = 2, .serial = "MOUSE", .vendor = 0x046d, .product = 0xc077};
    MockUsb switcher{.port = 2, .address = 5, .initialized = 1000, .tty = "ttyACM0"};
    Plug(other);
    Plug(switcher);
    Start();
    EXPECT_EQ(mRecorder.events, (Events{"+K1A0001"}))
        << "reported before StartNotification returns";

    CKdUsbDevice* device = mNotification->DeviceAtIndex(0);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->mInfo.vendorID, kKdUsbVendorID);
    EXPECT_EQ(device->mInfo.productID, kKdUsbProductID);
    EXPECT_EQ(device->mInfo.vendorName, "Kaldo Systems");
    EXPECT_EQ(device->mInfo.productName, "KALDO-1");
    EXPECT_EQ(device->mInfo.locationID, 0x01200000u);
    EXPECT_EQ(device->VendorProduct(), uint64_t(kKdUsbVendorID) << 32 | kKdUsbProductID);
    EXPECT_EQ(device->mSessionID, (int64_t(1000) << 15) | (1 << 7) | 5);
    EXPECT_EQ(device->BsdPath(), "/dev/ttyACM0");
    EXPECT_EQ(mNotification->DeviceAtIndex(-1), nullptr);
    EXPECT_EQ(mNotification->DeviceAtIndex(1), nullptr);
    EXPECT_EQ(mNotification->DeviceWithSerial("K1A0001"), device);
    EXPECT_EQ(mNotification->DeviceWithSessionID(device->mSessionID), device);

    // Another vendor or product arriving later is never reported either.
    Plug(MockUsb{.port = 3, .address = 6, .serial = "PAD", .product = 0x0001});
    PumpUntil(2, 300);
    EXPECT_EQ(mRecorder.events, (Events{"+K1A0001"}));
}

TEST_F(UsbNotificationTest, ArrivalsAndRemovalsKeepTheListInArrivalOrder) {
    Start();
    EXPECT_TRUE(mRecorder.events.empty());
    MockUsb first{
        .port = 4, .address = 7, .serial = "K1A0001", .initialized = 50, .tty = "ttyACM0"};
    MockUsb second{
        .port = 2, .address = 8, .serial = "K1A0002", .initialized = 60, .tty = "ttyACM1"};
    MockUsb other{.port = 3, .address = 9, .serial = "MOUSE", .vendor = 0x046d};
    Plug(first);
    Plug(other);
    Plug(second);
    PumpUntil(2);
    EXPECT_EQ(ListedSerials(), (std::vector<std::string>{"K1A0001", "K1A0002"}));

    // A removal of a device that was never listed changes nothing and tells nobody.
    Unplug(other);
    PumpUntil(3, 300);
    EXPECT_EQ(mRecorder.events, (Events{"+K1A0001", "+K1A0002"}));
    EXPECT_EQ(mNotification->Count(), 2);

    // The removal is known by the session identifier that the remove event yields.
    LObjPtr_<CKdUsbDevice> held = mNotification->DeviceAtIndex(0);
    EXPECT_FALSE(held->mRemoved);
    Unplug(first);
    PumpUntil(3);
    EXPECT_EQ(mRecorder.events, (Events{"+K1A0001", "+K1A0002", "-K1A0001"}));
    EXPECT_TRUE(held->mRemoved);
    EXPECT_EQ(ListedSerials(), (std::vector<std::string>{"K1A0002"}));
    EXPECT_EQ(held->mInfo.serialNumber, "K1A0001") << "a holder keeps the removed device";

    // Plugged in again (mocked sysfs cannot reuse the port), the same switcher is a new
    // attachment at the end of the list.
    first.port = 5;
    first.address = 10;
    first.initialized = 70;
    first.tty = "ttyACM2";
    Plug(first);
    PumpUntil(4);
    EXPECT_EQ(ListedSerials(), (std::vector<std::string>{"K1A0002", "K1A0001"}));
    EXPECT_NE(mNotification->DeviceAtIndex(1)->mSessionID, held->mSessionID);
}

TEST_F(UsbNotificationTest, SerialNodeNeedsASerialNumber) {
    MockUsb anonymous{.port = 2, .address = 5, .serial = "", .tty = "ttyACM0"};
    MockUsb later{.port = 3, .address = 6, .serial = "K1A0003"};
    Plug(anonymous);
    Plug(later); // its tty appears only after the arrival
    Start();
    ASSERT_EQ(mNotification->Count(), 2);
    CKdUsbDevice* withoutSerial = mNotification->DeviceAtIndex(0);
    EXPECT_EQ(withoutSerial->BsdPath(), "");
    EXPECT_EQ(withoutSerial->DeviceStream(), nullptr);
    EXPECT_EQ(withoutSerial->PrmManager(), nullptr);

    CKdUsbDevice* device = mNotification->DeviceAtIndex(1);
    EXPECT_EQ(device->BsdPath(), "") << "no tty yet";
    later.tty = "ttyACM1";
    Add(Format("P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n", later.Interface().c_str()));
    Add(Format("P: %s\nN: ttyACM1\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/ttyACM1\nE: MAJOR=166\n"
               "E: MINOR=1\nA: dev=166:1\n",
               later.Tty().c_str()));
    EXPECT_EQ(device->BsdPath(), "/dev/ttyACM1") << "looked up again while unknown";
}

TEST_F(UsbNotificationTest, VirtualDevicesShareTheLiveListInArrivalOrder) {
    using Serials = std::vector<std::string>;
    EXPECT_EQ(CKdIONotification().AddManualDevice("/dev/ttyUSB7"), 0) << "not armed";
    Publish("sim-a", 1);
    Plug(MockUsb{.port = 2, .address = 5, .tty = "ttyACM0"});
    Start();
    EXPECT_EQ(ListedSerials(), (Serials{"K1A0001", "SIM1"}));

    Publish("sim-c", 3);
    EXPECT_EQ(ListedSerials(), (Serials{"K1A0001", "SIM1", "SIM3"}));
    const int64_t manual = mNotification->AddManualDevice("/dev/ttyUSB7");
    Publish("sim-b", 2, "hid");
    EXPECT_EQ(ListedSerials(), (Serials{"K1A0001", "SIM1", "SIM3", "/dev/ttyUSB7", "SIM2"}));

    LObjPtr_<CKdUsbDevice> record = mNotification->DeviceAtIndex(1);
    EXPECT_EQ(record->mSessionID, kIOVirtualSessionBit | 1);
    EXPECT_EQ(record->mInfo.locationID, 0x09100000u);
    EXPECT_EQ(record->VendorProduct(), mNotification->DeviceAtIndex(0)->VendorProduct());
    EXPECT_EQ(record->BsdPath(), "/dev/pts/1");
    EXPECT_EQ(mNotification->DeviceAtIndex(4)->BsdPath(), "") << "a bootloader has no tty";
    CKdUsbDevice* manualDevice = mNotification->DeviceAtIndex(3);
    EXPECT_EQ(manualDevice->mSessionID, manual);
    EXPECT_EQ(manual & (kIOVirtualSessionBit | kIOManualSessionBit),
              kIOVirtualSessionBit | kIOManualSessionBit);
    EXPECT_EQ(manualDevice->BsdPath(), "/dev/ttyUSB7");

    Unpublish("sim-a");
    Unpublish("sim-b");
    Publish("sim-a", 4); // a reboot: a new record with a new session
    EXPECT_EQ(ListedSerials(), (Serials{"K1A0001", "SIM3", "/dev/ttyUSB7", "SIM4"}));
    EXPECT_TRUE(record->mRemoved);

    // Rewritten for the same session, a record changes nothing; replaced by another session's,
    // it is a removal and an arrival.
    Publish("sim-c", 3);
    EXPECT_EQ(ListedSerials(), (Serials{"K1A0001", "SIM3", "/dev/ttyUSB7", "SIM4"}));
    Publish("sim-c", 5);
    EXPECT_EQ(ListedSerials(), (Serials{"K1A0001", "/dev/ttyUSB7", "SIM4", "SIM5"}));
}

} // namespace
