#include "LIOHIDManager.h"
#include "LPollRunLoop.h"
#include "RecordPublisher.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Counts what reaches HandleInputReport, to see that a vanished peer is reported only once.
class CountingDevice : public LIOHIDDevice {
public:
    using LIOHIDDevice::LIOHIDDevice;
    void HandleInputReport(int result, const uint8_t* report, long length) override {
        ++(result ? failures : reports);
        LIOHIDDevice::HandleInputReport(result, report, length);
    }
    int reports = 0;
    int failures = 0;
};

// A virtual HID device's listening socket in a fresh directory, and a device that reaches it.
class HidSocketTest : public testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/hid-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        mDir = dir;
        LIOHIDDevice::_SDeviceRef ref{
            LIOHIDDevice::_SDeviceRef::kSocket, (mDir + "/hid.sock").c_str(), {}};
        ref.service.SetValue(kIOVendorIDKey, 0x1209);
        mDevice = new CountingDevice(nullptr, ref);
        mDevice->ReleaseObject();
        mDevice->SetRunLoop(&mLoop);

        mListener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        strcpy(address.sun_path, ref.path);
        ASSERT_EQ(bind(mListener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(mListener, 1), 0);
    }
    void TearDown() override {
        mDevice = nullptr;
        if (mPeer >= 0) close(mPeer);
        close(mListener);
        EXPECT_EQ(system(("rm -rf " + mDir).c_str()), 0);
        unsetenv("KALDO_DEVICE_DIR");
    }

    void Accept() { ASSERT_GE(mPeer = accept(mListener, nullptr, nullptr), 0); }
    void Send(const Bytes& report) {
        ASSERT_EQ(send(mPeer, report.data(), report.size(), 0), ssize_t(report.size()));
    }
    // Lets the loop deliver whatever the peer sent.
    void Pump() {
        for (int i = 0; i < 10; ++i)
            mLoop.RunOnce(5);
    }
    Bytes PumpAndRead() {
        Pump();
        Bytes bytes(256);
        ssize_t n = mDevice->WaitReadable(0) ? mDevice->Read(bytes.data(), bytes.size()) : 0;
        bytes.resize(n > 0 ? n : 0);
        return bytes;
    }

    std::string mDir;
    LPollRunLoop mLoop;
    LObjPtr_<CountingDevice> mDevice; // closed before the loop goes
    int mListener = -1;
    int mPeer = -1;
};

TEST_F(HidSocketTest, UnopenedDeviceMovesNothingAndOpenNeedsLoopAndPeer) {
    uint8_t byte = 1;
    EXPECT_EQ(mDevice->Write(&byte, 1), 0);
    EXPECT_EQ(mDevice->Read(&byte, 1), 0);
    EXPECT_FALSE(mDevice->WaitReadable(0));
    EXPECT_EQ(mDevice->IntProperty(kIOHIDVendorIDKey, 7), 0x1209);
    EXPECT_EQ(mDevice->IntProperty(kIOHIDLocationIDKey, 7), 7);

    // Without a run loop no input could arrive: the open fails and leaves the device closed.
    mDevice->SetRunLoop(nullptr);
    ASSERT_EQ(LRunLoop::Main(), nullptr);
    EXPECT_FALSE(mDevice->Open());
    EXPECT_FALSE(mDevice->IsOpened());
    mDevice->SetRunLoop(&mLoop);
    close(mListener);
    mListener = -1;
    EXPECT_FALSE(mDevice->Open());
    EXPECT_FALSE(mDevice->IsOpened());
}

TEST_F(HidSocketTest, InputReportsQueueUntilReadOrFlushed) {
    ASSERT_TRUE(mDevice->Open());
    Accept();
    // Two reports before the reader wakes read back to back; empty, oversized and failed
    // reports are dropped.
    Send({1, 2, 3});
    Send({});
    Send(Bytes(LIOHIDDevice::kReportBufferSize + 1, 0xAA));
    Send({4, 5, 6, 7});
    const uint8_t failed[] = {9, 9};
    mDevice->HandleInputReport(EIO, failed, sizeof failed);
    mDevice->HandleInputReport(0, nullptr, 3);
    EXPECT_EQ(PumpAndRead(), (Bytes{1, 2, 3, 4, 5, 6, 7}));

    // After a flush the reader waits for a new report.
    Send({1, 1});
    Pump();
    ASSERT_TRUE(mDevice->WaitReadable(0));
    mDevice->FlushReadData();
    EXPECT_FALSE(mDevice->WaitReadable(20));
    Send({2});
    EXPECT_EQ(PumpAndRead(), (Bytes{2}));

    // Open on an open device starts afresh: queued input is gone.
    Send({8});
    Pump();
    ASSERT_TRUE(mDevice->Open());
    EXPECT_FALSE(mDevice->WaitReadable(0));
}

TEST_F(HidSocketTest, VanishedPeerIsReportedOnceAndWritesFail) {
    ASSERT_TRUE(mDevice->Open());
    Accept();
    Send({3});
    close(mPeer);
    mPeer = -1;
    EXPECT_EQ(PumpAndRead(), (Bytes{3}));
    EXPECT_EQ(mDevice->reports, 1);
    EXPECT_EQ(mDevice->failures, 1); // the source was removed instead of firing on and on
    uint8_t byte = 0;
    EXPECT_EQ(mDevice->Write(&byte, 1), 0);
}

TEST_F(HidSocketTest, VirtualDevicesAreFoundByTheirRecords) {
    setenv("KALDO_DEVICE_DIR", mDir.c_str(), 1);
    RecordPublisher records(mDir);
    records.Publish("k1", "kind=hid\nvendor=0x1209\nproduct=0x4b31\nserial=K1SIM00001\n"
                          "product_name=KALDO-1\nlocation=0x09100000\nsession=5\nsocket=" +
                              mDir + "/hid.sock\n");
    records.Publish("k1-serial",
                    "kind=serial\nvendor=0x1209\nproduct=0x4b31\nsession=6\ntty=/dev/null\n");

    LIOHIDManager manager;
    LObjList_<LIOHIDDevice> found = manager.MatchingDevices({0x1209, 0x4B31, 0x09100000});
    ASSERT_EQ(found.Count(), 1);
    LIOHIDDevice* device = found.ObjectAtIndex(0);
    EXPECT_STREQ(device->StringProperty(kIOHIDSerialNumberKey), "K1SIM00001");
    EXPECT_STREQ(device->StringProperty(kIOHIDProductKey), "KALDO-1");
    device->SetRunLoop(&mLoop);
    EXPECT_TRUE(device->Open());
    device->Close();
}

// The firmware update opens, writes, reads and closes the device on its own thread while the
// main loop delivers the reports.
TEST_F(HidSocketTest, ReaderThreadOwnsTheDeviceWhileTheLoopDelivers) {
    std::atomic<bool> done{false};
    Bytes received;
    std::thread reader([&] {
        const uint8_t request[] = {0x01, 0x38, 0x00};
        if (mDevice->Open() && mDevice->Write(request, sizeof request) == 3) {
            uint8_t buffer[8];
            while (received.size() < 4 && mDevice->WaitReadable(2000)) {
                ssize_t n = mDevice->Read(buffer, sizeof buffer);
                if (n <= 0) break;
                received.insert(received.end(), buffer, buffer + n);
            }
        }
        mDevice->Close();
        done = true;
    });
    Accept();
    uint8_t request[8] = {};
    EXPECT_EQ(recv(mPeer, request, sizeof request, 0), 3) << "one message, no report ID";
    EXPECT_EQ(request[1], 0x38);
    Send({1, 2});
    Send({3, 4});
    while (!done)
        mLoop.RunOnce(10);
    reader.join();
    EXPECT_EQ(received, (Bytes{1, 2, 3, 4}));
}

} // namespace
