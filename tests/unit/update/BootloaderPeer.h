#pragma once

#include "FakeBootloader.h"
#include "RecordPublisher.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

// The USB controller's bootloader as a virtual HID device: a SOCK_SEQPACKET socket served by a
// thread, each packet answered by a FakeBootloader in one 64-byte report, announced by a record
// in its own record directory (KALDO_DEVICE_DIR is pointed there).
class BootloaderPeer {
public:
    static constexpr unsigned kLocation = 0x01230000;

    BootloaderPeer() {
        char pattern[] = "/tmp/kaldo-bl-XXXXXX";
        mDir = mkdtemp(pattern);
        mSocketPath = mDir + "/bl.sock";
        mRecordDir = mDir + "/devices";
        mkdir(mRecordDir.c_str(), 0700);
        mRecords = std::make_unique<RecordPublisher>(mRecordDir);
        setenv("KALDO_DEVICE_DIR", mRecordDir.c_str(), 1);
        mListener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, mSocketPath.c_str(), sizeof address.sun_path - 1);
        bind(mListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(mListener, 1);
        mThread = std::thread([this] { Run(); });
    }
    ~BootloaderPeer() {
        mStop = true;
        mThread.join();
        close(mListener);
        Unpublish();
        unlink(mSocketPath.c_str());
        rmdir(mRecordDir.c_str());
        rmdir(mDir.c_str());
    }

    // Announces the bootloader at the switcher's location.
    void Publish() {
        std::ostringstream text;
        text << "kind=hid\nvendor=0x1209\nproduct=0x4b31\nlocation=0x" << std::hex << kLocation
             << std::dec << "\nsession=777\nsocket=" << mSocketPath << "\n";
        mRecords->Publish("bootloader", text.str());
    }
    void Unpublish() { mRecords->Withdraw("bootloader"); }

    // Runs f on the device under its lock.
    template <class F>
    auto With(F f) {
        std::lock_guard lock(mMutex);
        return f(mDevice);
    }

    // The connection is dropped after this many packets and no other is served.
    std::atomic<int> dieAfterPackets{-1};

private:
    void Run() {
        int connection = -1;
        int packets = 0;
        while (!mStop) {
            pollfd entry{connection >= 0 ? connection : mListener, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0) continue;
            if (connection < 0) {
                connection = accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC);
                continue;
            }
            uint8_t report[128];
            const ssize_t length = recv(connection, report, sizeof report, 0);
            if (length <= 0) {
                close(connection);
                connection = -1;
                continue;
            }
            if (++packets == dieAfterPackets) {
                close(connection);
                connection = -1;
                close(mListener);
                mListener = socket(AF_UNIX, SOCK_SEQPACKET, 0); // never connected to again
                continue;
            }
            FakeBootloader::Bytes answer = With([&](FakeBootloader& d) {
                return d.Handle({report, report + length});
            });
            if (answer.empty()) continue;
            answer.resize(64, 0);
            send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
        if (connection >= 0) close(connection);
    }

    std::string mDir, mSocketPath, mRecordDir;
    std::unique_ptr<RecordPublisher> mRecords;
    int mListener = -1;
    std::atomic<bool> mStop{false};
    std::mutex mMutex;
    FakeBootloader mDevice;
    std::thread mThread;
};
