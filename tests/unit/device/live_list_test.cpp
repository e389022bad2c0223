#include "CKdIONotification.h"
#include "KdUsbIdentity.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Virtual device records, manual entries and (here absent) udev devices share one live list.
class LiveListTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kaldo-live-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mDir = pattern;
        setenv("KALDO_DEVICE_DIR", mDir.c_str(), 1);
    }
    void TearDown() override { EXPECT_EQ(system(("rm -rf " + mDir).c_str()), 0); }

    void Publish(const std::string& name, int session, const char* kind = "serial") const {
        const std::string temporary = mDir + "/." + name + ".tmp";
        FILE* file = fopen(temporary.c_str(), "w");
        ASSERT_NE(file, nullptr);
        fprintf(file,
                "kind=%s\nvendor=0x%x\nproduct=0x%x\nproduct_name=KALDO-1\nserial=SIM%d\n"
                "location=0x09%d00000\nsession=%d\ntty=/dev/pts/%d\nsocket=/tmp/k%d.sock\n",
                kind, kKdUsbVendorID, kKdUsbProductID, session, session, session, session, session);
        fclose(file);
        ASSERT_EQ(rename(temporary.c_str(), (mDir + "/" + name + ".dev").c_str()), 0);
    }
    void Unpublish(const std::string& name) const {
        ASSERT_EQ(unlink((mDir + "/" + name + ".dev").c_str()), 0);
    }
    std::vector<std::string> ListedSerials(const CKdIONotification& list) {
        mLoop.RunOnce(100);
        std::vector<std::string> serials;
        for (int i = 0; i < list.Count(); ++i)
            serials.push_back(list.DeviceAtIndex(i)->mInfo.serialNumber.CString());
        return serials;
    }

    std::string mDir;
    LPollRunLoop mLoop;
};

using Serials = std::vector<std::string>;

TEST_F(LiveListTest, RecordsAppearAndDisappearInArrivalOrder) {
    Publish("sim-a", 1);
    CKdIONotification list;
    list.SetRunLoop(&mLoop);
    EXPECT_EQ(list.AddManualDevice("/dev/ttyUSB7"), 0) << "not armed yet";
    list.StartNotification();
    EXPECT_EQ(ListedSerials(list), (Serials{"SIM1"}));

    Publish("sim-c", 3);
    EXPECT_EQ(ListedSerials(list), (Serials{"SIM1", "SIM3"}));
    const int64_t manual = list.AddManualDevice("/dev/ttyUSB7");
    Publish("sim-b", 2, "hid");
    EXPECT_EQ(ListedSerials(list), (Serials{"SIM1", "SIM3", "/dev/ttyUSB7", "SIM2"}));

    LObjPtr_<CKdUsbDevice> first = list.DeviceAtIndex(0);
    EXPECT_EQ(first->mSessionID, kIOVirtualSessionBit | 1);
    EXPECT_EQ(first->mInfo.locationID, 0x09100000u);
    EXPECT_EQ(first->VendorProduct(), uint64_t(kKdUsbVendorID) << 32 | kKdUsbProductID);
    EXPECT_EQ(first->BsdPath(), "/dev/pts/1");
    EXPECT_EQ(list.DeviceAtIndex(3)->BsdPath(), "") << "a bootloader has no serial node";
    CKdUsbDevice* manualDevice = list.DeviceAtIndex(2);
    EXPECT_EQ(manualDevice->mSessionID, manual);
    EXPECT_EQ(manual & (kIOVirtualSessionBit | kIOManualSessionBit),
              kIOVirtualSessionBit | kIOManualSessionBit);
    EXPECT_EQ(manualDevice->BsdPath(), "/dev/ttyUSB7");
    EXPECT_EQ(manualDevice->VendorProduct(), first->VendorProduct());

    Unpublish("sim-a");
    EXPECT_EQ(ListedSerials(list), (Serials{"SIM3", "/dev/ttyUSB7", "SIM2"}));
    EXPECT_TRUE(first->mRemoved);
    Unpublish("sim-b");
    Publish("sim-a", 4); // a reboot: a new record with a new session
    EXPECT_EQ(ListedSerials(list), (Serials{"SIM3", "/dev/ttyUSB7", "SIM4"}));
}

} // namespace
