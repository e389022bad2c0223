#pragma once

#include "ScriptedPeer.h"

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Stands for a switcher on a pseudo-terminal that the window opens by path: a thread reads the
// command packets, records them as they travelled and, while answering, replies as
// ScriptedPeer::Device does (version words 0x0102, 0x0304, 0x0506 and 0x0708), from device's
// memory.
class PtyPeer {
public:
    using Bytes = ScriptedPeer::Bytes;

    explicit PtyPeer(const ScriptedPeer::Device& device = {}) : mDevice(device) {
        mMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (mMaster < 0 || grantpt(mMaster) != 0 || unlockpt(mMaster) != 0) return;
        mPath = ptsname(mMaster);
        // Held open, so that the window may close and reopen the terminal.
        mSlave = open(mPath.c_str(), O_RDWR | O_NOCTTY);
        termios settings{};
        tcgetattr(mSlave, &settings);
        cfmakeraw(&settings);
        tcsetattr(mSlave, TCSANOW, &settings);
        mThread = std::thread([this] { Run(); });
    }
    ~PtyPeer() {
        mStop = true;
        if (mThread.joinable()) mThread.join();
        close(mSlave);
        close(mMaster);
    }

    const std::string& Path() const { return mPath; }
    void SetAnswering(bool answering) { mAnswering = answering; }
    // The packets received since the last call.
    std::vector<Bytes> TakePackets() {
        std::lock_guard lock(mMutex);
        return std::exchange(mPackets, {});
    }

private:
    void Run() {
        Bytes pending;
        uint8_t chunk[256];
        while (!mStop) {
            pollfd fd{mMaster, POLLIN, 0};
            if (poll(&fd, 1, 20) <= 0) continue;
            const ssize_t count = read(mMaster, chunk, sizeof chunk);
            if (count <= 0) continue;
            pending.insert(pending.end(), chunk, chunk + count);
            while (pending.size() >= 5 && pending.size() >= 5u + pending[4]) {
                const Bytes wire(pending.begin(), pending.begin() + 5 + pending[4]);
                pending.erase(pending.begin(), pending.begin() + wire.size());
                {
                    std::lock_guard lock(mMutex);
                    mPackets.push_back(wire);
                }
                if (!mAnswering) continue;
                for (const Bytes& reply :
                     mDevice.Answer({wire[2], wire[3], {wire.begin() + 5, wire.end()}, wire}))
                    (void)!write(mMaster, reply.data(), reply.size());
            }
        }
    }

    int mMaster = -1;
    int mSlave = -1;
    std::string mPath;
    std::atomic<bool> mStop{false};
    std::atomic<bool> mAnswering{true};
    ScriptedPeer::Device mDevice;
    std::mutex mMutex;
    std::vector<Bytes> mPackets;
    std::thread mThread;
};
