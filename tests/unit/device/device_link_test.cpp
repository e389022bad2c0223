#include "CKdUsbDevice.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// The switcher's side of the link on a pseudo-terminal's master: counts version requests and,
// while `answering` is set, answers them as ScriptedPeer's device does.
class PtySwitcher {
public:
    PtySwitcher() {
        char name[64] = {};
        int slave = -1;
        if (openpty(&mMaster, &slave, name, nullptr, nullptr) == 0) close(slave);
        fcntl(mMaster, F_SETFL, O_NONBLOCK);
        mPath = name;
        mThread = std::thread([this] { Run(); });
    }
    ~PtySwitcher() {
        mStop = true;
        mThread.join();
        close(mMaster);
    }

    const char* Path() const { return mPath.c_str(); }
    std::atomic<bool> answering{false};
    std::atomic<int> versionRequests{0};

private:
    void Run() {
        ScriptedPeer::Bytes pending;
        while (!mStop) {
            uint8_t chunk[64];
            const ssize_t count =
                read(mMaster, chunk, sizeof chunk); // fails while no slave is open
            if (count <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            pending.insert(pending.end(), chunk, chunk + count);
            // The session writes whole packets: "M" "V" command sequence length data...
            while (pending.size() >= 5 && pending.size() >= 5u + pending[4]) {
                ScriptedPeer::Packet packet;
                packet.command = pending[2];
                packet.sequence = pending[3];
                pending.erase(pending.begin(), pending.begin() + 5 + pending[4]);
                if (packet.command != 0x15) continue;
                ++versionRequests;
                if (!answering) continue;
                for (const ScriptedPeer::Bytes& answer : mDevice.Answer(packet))
                    if (write(mMaster, answer.data(), answer.size()) < 0) ADD_FAILURE();
            }
        }
    }

    int mMaster = -1;
    std::string mPath;
    ScriptedPeer::Device mDevice;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

// A device link to the node at path, held only by the returned pointer.
LObjPtr_<CKdUsbDevice> NewDevice(const char* path) {
    LIOUsbDevice::_SDeviceInfo info;
    info.serialNumber = path;
    LObjPtr_<CKdUsbDevice> device = new CKdUsbDevice(kIOVirtualSessionBit | 1, info, path);
    device->ReleaseObject();
    return device;
}

TEST(DeviceLink, SessionIsHandedOutOnlyOnceTheSwitcherAnswers) {
    PtySwitcher peer;
    LObjPtr_<CKdUsbDevice> device = NewDevice(peer.Path());

    // Silent switcher: no session, and every call asks once more.
    EXPECT_EQ(device->PrmManager(), nullptr);
    const int asked = peer.versionRequests;
    EXPECT_GE(asked, 1);
    EXPECT_EQ(device->PrmManager(), nullptr);
    EXPECT_EQ(peer.versionRequests, asked + 1);

    peer.answering = true;
    LObjPtr_<CKdPrmManager> session = device->PrmManager();
    ASSERT_NE(session.Get(), nullptr);
    EXPECT_EQ(session->VersionInfo().mSoftware, "02.01");
    EXPECT_EQ(device->PrmManager(), session.Get());

    // The port is held exclusively: another link to the same node gets no stream.
    LObjPtr_<CKdUsbDevice> rival = NewDevice(peer.Path());
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
    PtySwitcher peer;
    peer.answering = true;
    LObjPtr_<CKdUsbDevice> device = NewDevice(peer.Path());
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
