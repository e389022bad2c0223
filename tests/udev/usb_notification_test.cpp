#include "CKdIONotification.h"
#include "KdUsbIdentity.h"
#include "LPollRunLoop.h"
#include "RecordPublisher.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <libudev.h>
#include <umockdev.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Every udev enumeration of the program passes here (the program's own definition comes before
// libudev's), so that the tests can count them.
static std::atomic<int> gEnumerations{0};
extern "C" int udev_enumerate_scan_devices(udev_enumerate* enumerate) {
    using Scan = int (*)(udev_enumerate*);
    static const auto scan =
        reinterpret_cast<Scan>(dlsym(RTLD_NEXT, "udev_enumerate_scan_devices"));
    ++gEnumerations;
    return scan(enumerate);
}

namespace {

using Texts = std::vector<std::string>;

constexpr char kHub[] = "/devices/pci0000:00/0000:00:14.0/usb1";

// One mocked USB device on bus 1 with its CDC interface and tty, described as udev sees it.
struct MockUsb {
    int port;
    int address;
    std::string serial = "K1A0001";
    uint32_t vendor = kKdUsbVendorID;
    uint32_t product = kKdUsbProductID;
    long long initialized = 0; // USEC_INITIALIZED; 0 leaves it out
    std::string tty = "";      // e.g. "ttyACM0"; empty: no serial interface

    std::string Path() const { return std::string(kHub) + "/1-" + std::to_string(port); }
    std::string Interface() const { return Path() + "/1-" + std::to_string(port) + ":1.0"; }
    std::string Tty() const { return Interface() + "/tty/" + tty; }
};

std::string Format(const char* format, auto... arguments) {
    char text[2048];
    snprintf(text, sizeof text, format, arguments...);
    return text;
}

// A switcher notification on a umockdev testbed and a record directory of its own; the test is
// its delegate and notes "+serial" / "-serial" of the device object that `more` carries.
class UsbNotificationTest : public testing::Test, public LIONotification::Delegate {
protected:
    void SetUp() override {
        mTestbed = umockdev_testbed_new();
        ASSERT_TRUE(umockdev_in_mock_environment());
        char pattern[] = "/tmp/kaldo-udev-records-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mRecordDir = pattern;
        setenv("KALDO_DEVICE_DIR", mRecordDir.c_str(), 1);
        mPublisher = std::make_unique<RecordPublisher>(mRecordDir);
    }
    void TearDown() override {
        mNotification.reset();
        mPublisher.reset();
        if (mTestbed) g_object_unref(mTestbed);
        EXPECT_EQ(system(("rm -rf " + mRecordDir).c_str()), 0);
    }
    void RawDeviceAdded(LIONotification*, const LIOService&, void* more) override {
        mEvents.push_back("+" + Serial(more));
    }
    void RawDeviceRemoved(LIONotification*, const LIOService&, void* more) override {
        mEvents.push_back("-" + Serial(more));
    }
    static std::string Serial(void* more) {
        return static_cast<LIOUsbDevice*>(more)->mInfo.serialNumber.CString();
    }

    // Plugs a device in, in kernel order: the device, then its interface and tty if it has one.
    void Plug(const MockUsb& usb) {
        std::string device = Format("P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                                    "E: BUSNUM=001\nE: DEVNUM=%03d\n"
                                    "A: idVendor=%04x\nA: idProduct=%04x\n"
                                    "A: manufacturer=Kaldo Systems\nA: product=KALDO-1\n",
                                    usb.Path().c_str(), usb.address, usb.vendor, usb.product);
        if (!usb.serial.empty()) device += "A: serial=" + usb.serial + "\n";
        if (usb.initialized) device += Format("E: USEC_INITIALIZED=%lld\n", usb.initialized);
        Add(device);
        if (!usb.tty.empty()) PlugTty(usb);
    }
    void PlugTty(const MockUsb& usb) {
        Add(Format("P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n", usb.Interface().c_str()));
        Add(Format("P: %s\nN: %s\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/%s\nE: MAJOR=166\n"
                   "E: MINOR=%d\nA: dev=166:%d\n",
                   usb.Tty().c_str(), usb.tty.c_str(), usb.tty.c_str(), usb.port, usb.port));
    }
    // Unplugs in kernel order: removal events of the children, then of the device; only then
    // the sysfs entries go.
    void Unplug(const MockUsb& usb) {
        Texts paths = {usb.Path()};
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

    // Publishes a virtual device record as kaldo-sim does.
    void Publish(const std::string& name, int session, const char* kind = "serial") const {
        ASSERT_TRUE(mPublisher->Publish(
            name, Format("kind=%s\nvendor=0x%x\nproduct=0x%x\nserial=SIM%d\nlocation=0x09%d00000\n"
                         "session=%d\ntty=/dev/pts/%d\nsocket=/tmp/k%d.sock\n",
                         kind, kKdUsbVendorID, kKdUsbProductID, session, session, session, session,
                         session)));
    }

    void Start() {
        mNotification = std::make_unique<CKdIONotification>();
        mNotification->SetRunLoop(&mLoop);
        mNotification->SetDelegate(this);
        EXPECT_TRUE(mNotification->StartNotification());
    }
    // Runs the loop until the delegate has heard count events in all, or the time is up.
    void PumpUntil(size_t count, int limitMs = 1000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (mEvents.size() < count && std::chrono::steady_clock::now() < end)
            mLoop.RunOnce(20);
        mLoop.RunOnce(20); // and nothing more arrives
    }
    Texts ListedSerials() {
        mLoop.RunOnce(100);
        Texts serials;
        for (int i = 0; i < mNotification->Count(); ++i)
            serials.push_back(mNotification->DeviceAtIndex(i)->mInfo.serialNumber.CString());
        return serials;
    }

    UMockdevTestbed* mTestbed = nullptr;
    std::string mRecordDir;
    std::unique_ptr<RecordPublisher> mPublisher;
    LPollRunLoop mLoop;
    Texts mEvents;
    std::unique_ptr<CKdIONotification> mNotification;
};

TEST_F(UsbNotificationTest, AttachedSwitchersAreReportedDuringStart) {
    Plug({.port = 1, .address = 2, .serial = "MOUSE", .vendor = 0x046d, .product = 0xc077});
    Plug({.port = 2, .address = 5, .initialized = 1000, .tty = "ttyACM0"});
    Plug({.port = 3, .address = 6, .serial = "", .tty = "ttyACM1"});
    Plug({.port = 4, .address = 7, .serial = "K1A0003"});
    Start();
    EXPECT_EQ(mEvents, (Texts{"+K1A0001", "+", "+K1A0003"}))
        << "reported before StartNotification returns";

    CKdUsbDevice* device = mNotification->DeviceAtIndex(0);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->VendorProduct(), uint64_t(kKdUsbVendorID) << 32 | kKdUsbProductID);
    EXPECT_EQ(device->mInfo.vendorName, "Kaldo Systems");
    EXPECT_EQ(device->mInfo.productName, "KALDO-1");
    EXPECT_EQ(device->mInfo.locationID, 0x01200000u);
    EXPECT_EQ(device->BsdPath(), "/dev/ttyACM0");
    EXPECT_EQ(mNotification->DeviceAtIndex(-1), nullptr);
    EXPECT_EQ(mNotification->DeviceAtIndex(3), nullptr);
    EXPECT_EQ(mNotification->DeviceWithSerial("K1A0003"), mNotification->DeviceAtIndex(2));

    // A serial node needs a serial number.
    EXPECT_EQ(mNotification->DeviceAtIndex(1)->BsdPath(), "");
    EXPECT_EQ(mNotification->DeviceAtIndex(1)->DeviceStream(), nullptr);
    EXPECT_EQ(mNotification->DeviceAtIndex(2)->BsdPath(), "") << "no tty yet";
}

// While a switcher's serial node is unknown, asking for it (as the window's open retries do,
// ten times a second) costs no udev enumeration; a node that appears later is learnt from the
// monitor's events.
TEST_F(UsbNotificationTest, ANodeIsLearntFromTheMonitorNeverSearched) {
    Plug({.port = 3, .address = 6, .serial = "", .tty = "ttyACM1"}); // never has a node
    MockUsb later{.port = 4, .address = 7, .serial = "K1A0003"};     // its tty comes later
    Plug(later);
    Start();
    const int enumerations = gEnumerations;
    EXPECT_GT(enumerations, 0);
    CKdUsbDevice* nodeless = mNotification->DeviceAtIndex(0);
    CKdUsbDevice* waiting = mNotification->DeviceAtIndex(1);
    for (int retry = 0; retry < 30; ++retry) {
        EXPECT_EQ(nodeless->PrmManager(), nullptr);
        EXPECT_EQ(waiting->PrmManager(), nullptr);
    }
    EXPECT_EQ(gEnumerations, enumerations);

    later.tty = "ttyACM2";
    PlugTty(later);
    for (int i = 0; i < 50 && waiting->BsdPath().Length() == 0; ++i)
        mLoop.RunOnce(20);
    EXPECT_EQ(waiting->BsdPath(), "/dev/ttyACM2");
    EXPECT_EQ(nodeless->BsdPath(), "");
    EXPECT_EQ(gEnumerations, enumerations);
}

TEST_F(UsbNotificationTest, ArrivalsAndRemovalsKeepTheListInArrivalOrder) {
    Start();
    MockUsb first{.port = 4, .address = 7, .initialized = 50, .tty = "ttyACM0"};
    MockUsb other{.port = 3, .address = 9, .serial = "PAD", .product = 0x0001}; // never listed
    Plug(first);
    Plug(other);
    Plug({.port = 2, .address = 8, .serial = "K1A0002", .initialized = 60, .tty = "ttyACM1"});
    PumpUntil(2);
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0001", "K1A0002"}));

    // A removal of a device that was never listed changes nothing and tells nobody.
    Unplug(other);
    PumpUntil(3, 300);
    EXPECT_EQ(mNotification->Count(), 2);

    // The removal is known by the session identifier that the remove event yields; a holder
    // keeps the removed device.
    LObjPtr_<CKdUsbDevice> held = mNotification->DeviceAtIndex(0);
    EXPECT_FALSE(held->mRemoved);
    Unplug(first);
    PumpUntil(3);
    EXPECT_EQ(mEvents, (Texts{"+K1A0001", "+K1A0002", "-K1A0001"}));
    EXPECT_TRUE(held->mRemoved);
    EXPECT_EQ(held->mInfo.serialNumber, "K1A0001");
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0002"}));
}

// A switcher listed before udev has finished with it gets its add event later, with udev's
// values (USEC_INITIALIZED) added: it is still one attachment, and its removal leaves nothing.
TEST_F(UsbNotificationTest, ASwitcherSeenBeforeUdevFinishedIsListedOnce) {
    const MockUsb early{.port = 2, .address = 5, .tty = "ttyACM0"};
    Plug(early);
    Start();
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0001"}));

    const std::string path = "/sys" + early.Path();
    umockdev_testbed_set_property(mTestbed, path.c_str(), "USEC_INITIALIZED", "123456");
    umockdev_testbed_uevent(mTestbed, path.c_str(), "add");
    PumpUntil(2, 300);
    EXPECT_EQ(mEvents, (Texts{"+K1A0001"}));

    Unplug(early);
    PumpUntil(2);
    EXPECT_EQ(mEvents, (Texts{"+K1A0001", "-K1A0001"}));
    EXPECT_EQ(ListedSerials(), Texts());
}

TEST_F(UsbNotificationTest, VirtualDevicesShareTheLiveListInArrivalOrder) {
    Publish("sim-a", 1);
    Plug({.port = 2, .address = 5, .tty = "ttyACM0"});
    // A manual entry needs no arming and brings in nothing else.
    CKdIONotification manualOnly;
    EXPECT_NE(manualOnly.AddManualDevice("/dev/ttyUSB9"), 0);
    EXPECT_EQ(manualOnly.Count(), 1);

    Start();
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0001", "SIM1"}));

    Publish("sim-c", 3);
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0001", "SIM1", "SIM3"}));
    const int64_t manual = mNotification->AddManualDevice("/dev/ttyUSB7");
    Publish("sim-b", 2, "hid");
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0001", "SIM1", "SIM3", "/dev/ttyUSB7", "SIM2"}));

    EXPECT_EQ(mNotification->DeviceAtIndex(1)->BsdPath(), "/dev/pts/1");
    EXPECT_EQ(mNotification->DeviceAtIndex(4)->BsdPath(), "") << "a bootloader has no tty";
    CKdUsbDevice* manualDevice = mNotification->DeviceAtIndex(3);
    EXPECT_EQ(manualDevice->mSessionID, manual);
    EXPECT_EQ(manual & (kIOVirtualSessionBit | kIOManualSessionBit),
              kIOVirtualSessionBit | kIOManualSessionBit);
    EXPECT_EQ(manualDevice->BsdPath(), "/dev/ttyUSB7");

    // A removed record is a removal. Rewritten for the same session, a record changes nothing;
    // replaced by another session's, it is a removal and an arrival.
    LObjPtr_<CKdUsbDevice> replaced = mNotification->DeviceAtIndex(2);
    mPublisher->Withdraw("sim-b");
    Publish("sim-c", 3);
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0001", "SIM1", "SIM3", "/dev/ttyUSB7"}));
    Publish("sim-c", 5);
    EXPECT_EQ(ListedSerials(), (Texts{"K1A0001", "SIM1", "/dev/ttyUSB7", "SIM5"}));
    EXPECT_TRUE(replaced->mRemoved);
}

} // namespace
