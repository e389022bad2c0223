#include "CKdUsbDevice.h"
#include "LSerialPort.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// The switcher's side of the link on a pseudo-terminal's master: counts version requests and
// answers them while `answering` is set.
class ScriptedSwitcher {
public:
    ScriptedSwitcher() {
        char name[64] = {};
        int slave = -1;
        if (openpty(&mMaster, &slave, name, nullptr, nullptr) == 0) close(slave);
        mPath = name;
        mThread = std::thread([this] { Run(); });
    }
    ~ScriptedSwitcher() {
        mStop = true;
        mThread.join();
        close(mMaster);
    }

    const char* Path() const { return mPath.c_str(); }
    std::atomic<bool> answering{false};
    std::atomic<int> versionRequests{0};

private:
    void Run() {
        std::vector<uint8_t> received;
        while (!mStop) {
            pollfd entry{mMaster, POLLIN, 0};
            if (poll(&entry, 1, 10) <= 0 || !(entry.revents & POLLIN)) continue;
            uint8_t chunk[64];
            const ssize_t count = read(mMaster, chunk, sizeof chunk);
            if (count <= 0) continue; // no slave open at the moment
            received.insert(received.end(), chunk, chunk + count);
            // Packets: "M" "V" command sequence length data...
            while (received.size() >= 5 && received.size() >= 5u + received[4]) {
                if (received[0] != 'M' || received[1] != 'V') {
                    received.erase(received.begin());
                    continue;
                }
                if (received[2] == 0x15) {
                    ++versionRequests;
                    if (answering) {
                        const uint8_t answer[] = {'M', 'V', 0x95, received[3], 9, 0, 1,
                                                  2,   3,   4,    5,           6, 7, 8};
                        if (write(mMaster, answer, sizeof answer) < 0) ADD_FAILURE();
                    }
                }
                received.erase(received.begin(), received.begin() + 5 + received[4]);
            }
        }
    }

    int mMaster = -1;
    std::string mPath;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

CKdUsbDevice* NewDevice(const char* path) {
    LIOUsbDevice::_SDeviceInfo info;
    info.serialNumber = path;
    return new CKdUsbDevice(kIOVirtualSessionBit | 1, info, path);
}

TEST(DeviceLink, SessionIsHandedOutOnlyOnceTheSwitcherAnswers) {
    ScriptedSwitcher peer;
    LObjPtr_<CKdUsbDevice> device = NewDevice(peer.Path());
    device->ReleaseObject();

    // Silent switcher: no session, and every call asks once more.
    EXPECT_EQ(device->PrmManager(), nullptr);
    const int asked = peer.versionRequests;
    EXPECT_GE(asked, 1);
    EXPECT_EQ(device->PrmManager(), nullptr);
    EXPECT_EQ(peer.versionRequests, asked + 1);

    peer.answering = true;
    LObjPtr_<CKdPrmManager> session = device->PrmManager();
    ASSERT_NE(session.Get(), nullptr);
    EXPECT_EQ(session->VersionInfo().mSoftware, "01.02");
    EXPECT_EQ(device->PrmManager(), session.Get());

    // The port is held exclusively: another link to the same node gets no stream.
    LObjPtr_<CKdUsbDevice> rival = NewDevice(peer.Path());
    rival->ReleaseObject();
    EXPECT_EQ(rival->DeviceStream(), nullptr);

    // An update takes the stream away from the session and closes the port; restoring gives
    // the session the reopened port.
    LStream* stream = device->DeviceStream();
    session->SetDeviceStream(nullptr);
    stream->Close();
    device->RestoreDeviceStream();
    EXPECT_TRUE(session->IsOnline());
    EXPECT_EQ(session->DeviceStream(), device->DeviceStream());
    EXPECT_TRUE(stream->IsOpened());

    // Closing drops stream and session; the next call builds both anew.
    device->CloseDevice();
    EXPECT_FALSE(session->DeviceStream()->IsOpened());
    CKdPrmManager* fresh = device->PrmManager();
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, session.Get());
}

TEST(DeviceLink, UpdateThreadMayCloseWhileTheMainThreadUsesTheLink) {
    ScriptedSwitcher peer;
    peer.answering = true;
    LObjPtr_<CKdUsbDevice> device = NewDevice(peer.Path());
    device->ReleaseObject();
    std::atomic<bool> done{false};
    std::thread updater([&] {
        while (!done)
            device->CloseDevice();
    });
    for (int i = 0; i < 200; ++i) {
        device->PrmManager();
        device->RestoreDeviceStream();
    }
    done = true;
    updater.join();
    device->CloseDevice();
    EXPECT_NE(device->PrmManager(), nullptr);
}

} // namespace
