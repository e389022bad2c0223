#include "LIOHIDManager.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

// A virtual HID device's listening socket in a fresh directory; Accept yields the peer's end.
class HidSocketTest : public testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/hid-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        mDir = dir;
        mRef.transport = LIOHIDDevice::_SDeviceRef::kSocket;
        mRef.path = (mDir + "/hid.sock").c_str();
        mRef.service.SetValue(kIOVendorIDKey, 0x1209);
        mRef.service.SetValue(kIOSerialNumberKey, "K1SIM00001");
        mListener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        strcpy(address.sun_path, mRef.path);
        ASSERT_EQ(bind(mListener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(mListener, 1), 0);
    }
    void TearDown() override {
        if (mPeer >= 0) close(mPeer);
        close(mListener);
        unlink(mRef.path);
        for (const char* name : {"/k1.dev", "/k1-serial.dev"})
            unlink((mDir + name).c_str());
        rmdir(mDir.c_str());
        unsetenv("KALDO_DEVICE_DIR");
    }

    LIOHIDDevice* NewDevice() {
        auto* device = new CountingDevice(nullptr, mRef);
        device->SetRunLoop(&mLoop);
        return device;
    }
    void Accept() { ASSERT_GE(mPeer = accept(mListener, nullptr, nullptr), 0); }
    void Send(const Bytes& report) {
        ASSERT_EQ(send(mPeer, report.data(), report.size(), 0), ssize_t(report.size()));
    }
    // Lets the loop deliver whatever the peer sent.
    void Pump() {
        for (int i = 0; i < 5; ++i)
            mLoop.RunOnce(5);
    }
    static Bytes ReadAll(LIOHIDDevice& device) {
        Bytes bytes(256);
        ssize_t n = device.WaitReadable(0) ? device.Read(bytes.data(), bytes.size()) : 0;
        bytes.resize(n > 0 ? n : 0);
        return bytes;
    }

    std::string mDir;
    LIOHIDDevice::_SDeviceRef mRef;
    LPollRunLoop mLoop;
    int mListener = -1;
    int mPeer = -1;
};

TEST_F(HidSocketTest, UnopenedDeviceMovesNothingAndReadsProperties) {
    LObjPtr_<LIOHIDDevice> device = NewDevice();
    device->ReleaseObject();
    uint8_t byte = 1;
    EXPECT_FALSE(device->IsOpened());
    EXPECT_EQ(device->Write(&byte, 1), 0);
    EXPECT_EQ(device->Read(&byte, 1), 0);
    EXPECT_FALSE(device->WaitReadable(0));
    EXPECT_EQ(device->IntProperty(kIOHIDVendorIDKey, 7), 0x1209);
    EXPECT_EQ(device->IntProperty(kIOHIDLocationIDKey, 7), 7);
    EXPECT_TRUE(device->StringProperty(kIOHIDSerialNumberKey) == "K1SIM00001");
    EXPECT_TRUE(device->StringProperty(kIOHIDProductKey) == "");

    // Without a run loop no input could arrive: the open fails and leaves the device closed.
    device->SetRunLoop(nullptr);
    EXPECT_EQ(LRunLoop::Main(), nullptr);
    EXPECT_FALSE(device->Open());
    EXPECT_FALSE(device->IsOpened());
    device->SetRunLoop(&mLoop);
    unlink(mRef.path);
    EXPECT_FALSE(device->Open());
    EXPECT_FALSE(device->IsOpened());
}

TEST_F(HidSocketTest, ReportsCrossAsOneMessageEachAndQueueBackToBack) {
    LObjPtr_<LIOHIDDevice> device = NewDevice();
    device->ReleaseObject();
    ASSERT_TRUE(device->Open());
    Accept();

    const uint8_t out[] = {0x01, 0x3F, 0x00, 0x00, 0xC7, 0xFF, 0x17};
    EXPECT_EQ(device->Write(out, sizeof out), ssize_t(sizeof out));
    EXPECT_EQ(device->Write(out, 2), 2);
    uint8_t message[64];
    EXPECT_EQ(recv(mPeer, message, sizeof message, 0), ssize_t(sizeof out));
    EXPECT_EQ(memcmp(message, out, sizeof out), 0);
    EXPECT_EQ(recv(mPeer, message, sizeof message, 0), 2);

    Send({1, 2, 3});
    Send({4, 5, 6, 7});
    Pump();
    EXPECT_EQ(ReadAll(*device), (Bytes{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(device->WaitReadable(0));

    // Open on an open device starts afresh: queued input is gone.
    Send({8});
    Pump();
    ASSERT_TRUE(device->Open());
    EXPECT_FALSE(device->WaitReadable(0));
}

TEST_F(HidSocketTest, DropsEmptyFailedAndOversizedReports) {
    LObjPtr_<LIOHIDDevice> device = NewDevice();
    device->ReleaseObject();
    ASSERT_TRUE(device->Open());
    Accept();

    Send({});
    Send(Bytes(LIOHIDDevice::kReportBufferSize + 1, 0xAA));
    Send({9, 8});
    Pump();
    const uint8_t failed[] = {5, 5, 5};
    device->HandleInputReport(EIO, failed, sizeof failed);
    device->HandleInputReport(0, failed, 0);
    device->HandleInputReport(0, nullptr, 3);
    EXPECT_EQ(ReadAll(*device), (Bytes{9, 8}));
}

TEST_F(HidSocketTest, FlushThenWaitWaitsForANewReport) {
    LObjPtr_<LIOHIDDevice> device = NewDevice();
    device->ReleaseObject();
    ASSERT_TRUE(device->Open());
    Accept();

    Send({1, 1});
    Pump();
    ASSERT_TRUE(device->WaitReadable(0));
    device->FlushReadData();
    EXPECT_FALSE(device->WaitReadable(20));
    Send({2});
    Pump();
    EXPECT_EQ(ReadAll(*device), (Bytes{2}));
}

TEST_F(HidSocketTest, VanishedPeerIsReportedOnceAndWritesFail) {
    LObjPtr_<CountingDevice> device = static_cast<CountingDevice*>(NewDevice());
    device->ReleaseObject();
    ASSERT_TRUE(device->Open());
    Accept();
    Send({3});
    close(mPeer);
    mPeer = -1;
    Pump();
    Pump();
    EXPECT_EQ(device->reports, 1);
    EXPECT_EQ(device->failures, 1); // the source was removed instead of firing on and on
    EXPECT_EQ(ReadAll(*device), (Bytes{3}));
    uint8_t byte = 0;
    EXPECT_EQ(device->Write(&byte, 1), 0);
}

TEST_F(HidSocketTest, VirtualDevicesAreFoundByTheirRecords) {
    setenv("KALDO_DEVICE_DIR", mDir.c_str(), 1);
    std::ofstream(mDir + "/k1.dev")
        << "kind=hid\nvendor=0x1209\nproduct=0x4b31\nserial=K1SIM00001\n"
           "product_name=KALDO-1\nlocation=0x09100000\nsession=5\n"
           "socket="
        << mRef.path.CString() << "\n";
    std::ofstream(mDir + "/k1-serial.dev")
        << "kind=serial\nvendor=0x1209\nproduct=0x4b31\nsession=6\ntty=/dev/null\n";

    LIOHIDManager manager;
    EXPECT_EQ(manager.MatchingDevices({0x1209, 0x4B31, 0x09200000}).Count(), 0);
    LObjList_<LIOHIDDevice> found = manager.MatchingDevices({0x1209, 0x4B31, 0x09100000});
    ASSERT_EQ(found.Count(), 1);
    LIOHIDDevice* device = found.ObjectAtIndex(0);
    EXPECT_STREQ(device->StringProperty(kIOHIDSerialNumberKey), "K1SIM00001");
    EXPECT_STREQ(device->StringProperty(kIOHIDProductKey), "KALDO-1");
    device->SetRunLoop(&mLoop);
    ASSERT_TRUE(device->Open());
    Accept();
    const uint8_t report[] = {0x01, 0x3B, 0x00, 0x00};
    EXPECT_EQ(device->Write(report, sizeof report), ssize_t(sizeof report));
    uint8_t message[8];
    EXPECT_EQ(recv(mPeer, message, sizeof message, 0), ssize_t(sizeof report));
}

// The firmware update opens, writes, reads and closes the device on its own thread while the
// main loop delivers the reports.
TEST_F(HidSocketTest, ReaderThreadOwnsTheDeviceWhileTheLoopDelivers) {
    LObjPtr_<LIOHIDDevice> device = NewDevice();
    device->ReleaseObject();
    std::atomic<bool> done{false};
    Bytes received;
    std::thread reader([&] {
        uint8_t request = 0x38;
        if (device->Open() && device->Write(&request, 1) == 1) {
            uint8_t buffer[8];
            while (received.size() < 4 && device->WaitReadable(2000)) {
                ssize_t n = device->Read(buffer, sizeof buffer);
                if (n <= 0) break;
                received.insert(received.end(), buffer, buffer + n);
            }
        }
        device->Close();
        done = true;
    });
    Accept();
    uint8_t request = 0;
    EXPECT_EQ(recv(mPeer, &request, 1, 0), 1);
    EXPECT_EQ(request, 0x38);
    Send({1, 2});
    Send({3, 4});
    while (!done)
        mLoop.RunOnce(10);
    reader.join();
    mLoop.RunOnce(0); // runs the removal the close posted
    EXPECT_EQ(received, (Bytes{1, 2, 3, 4}));
}

} // namespace
