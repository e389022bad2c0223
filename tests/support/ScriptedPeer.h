#pragma once

#include "LObjPtr_.h"
#include "LStream.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

// Stands for the switcher on one end of a socket pair: a thread reads the command packets the
// session writes, records them and answers each through a script. The session's end is
// non-blocking, as the serial port is.
class ScriptedPeer {
public:
    using Bytes = std::vector<uint8_t>;

    struct Packet {
        uint8_t command = 0;
        uint8_t sequence = 0;
        Bytes data;
        Bytes wire; // the packet as it travelled
    };
    // The byte runs to send back for one received packet (each written with its own write).
    using Script = std::function<std::vector<Bytes>(const Packet&)>;

    // The switcher's answers: the versions 0x0102, 0x0304, 0x0506 and 0x0708, and parameter values
    // read from a memory of 1001 bytes.
    struct Device {
        uint8_t memory[1001] = {};

        std::vector<Bytes> Answer(const Packet& packet) const {
            Bytes data = {0};
            if (packet.command == 0x15) {
                data.insert(data.end(), {0x02, 0x01, 0x04, 0x03, 0x06, 0x05, 0x08, 0x07});
                return {Response(0x95, packet.sequence, data)};
            }
            if (packet.command != 0x10 || packet.data.size() != 3) return {};
            const int id = packet.data[0] | packet.data[1] << 8;
            for (int k = 0; k < packet.data[2] && id + k < 1001; ++k)
                data.push_back(memory[id + k]);
            return {Response(0x90, packet.sequence, data)};
        }
    };

    // An LStream over one descriptor, closed with the stream; a write never raises SIGPIPE.
    class SocketStream : public LStream {
    public:
        explicit SocketStream(int fd) : mFd(fd) {}
        ~SocketStream() override { close(mFd); }
        int Descriptor() const override { return mFd; }
        ssize_t Write(const void* bytes, unsigned long count) override {
            return send(mFd, bytes, count, MSG_NOSIGNAL);
        }

    private:
        int mFd;
    };

    ScriptedPeer() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return;
        fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        mStream = new SocketStream(fds[0]);
        LObject::ReleaseObject(mStream.Get());
        mFd = fds[1];
        mThread = std::thread([this] { Run(); });
    }

    ~ScriptedPeer() {
        shutdown(mFd, SHUT_RDWR);
        if (mThread.joinable()) mThread.join();
        close(mFd);
    }

    LStream* SessionStream() const { return mStream; }
    int PeerDescriptor() const { return mFd; }

    void SetScript(Script script) {
        std::lock_guard lock(mMutex);
        mScript = std::move(script);
    }

    // The packets received so far as they travelled, once at least n have arrived or after the
    // time-out.
    std::vector<Bytes> WaitForPackets(size_t n, int timeoutMs = 2000) {
        std::unique_lock lock(mMutex);
        mArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return mPackets.size() >= n; });
        return mPackets;
    }
    // The packets received so far; the record starts again empty.
    std::vector<Bytes> TakePackets() {
        std::lock_guard lock(mMutex);
        return std::exchange(mPackets, {});
    }
    // Writes bytes to the session as if the switcher had sent them.
    bool Send(const Bytes& bytes) const {
        return send(mFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    static Bytes Response(int command, int sequence, const Bytes& data) {
        Bytes wire = {'M', 'V', uint8_t(command), uint8_t(sequence), uint8_t(data.size())};
        wire.insert(wire.end(), data.begin(), data.end());
        return wire;
    }

private:
    void Run() {
        Bytes pending;
        uint8_t chunk[256];
        for (ssize_t count; (count = read(mFd, chunk, sizeof chunk)) > 0;) {
            pending.insert(pending.end(), chunk, chunk + count);
            // The session writes whole packets; take every complete one.
            while (pending.size() >= 5 && pending.size() >= 5u + pending[4]) {
                const Bytes wire(pending.begin(), pending.begin() + 5 + pending[4]);
                pending.erase(pending.begin(), pending.begin() + wire.size());
                for (const Bytes& reply :
                     Answer({wire[2], wire[3], {wire.begin() + 5, wire.end()}, wire}))
                    Send(reply);
            }
        }
    }

    std::vector<Bytes> Answer(const Packet& packet) {
        std::lock_guard lock(mMutex);
        std::vector<Bytes> replies = mScript ? mScript(packet) : std::vector<Bytes>();
        mPackets.push_back(packet.wire);
        mArrived.notify_all();
        return replies;
    }

    LObjPtr_<SocketStream> mStream;
    int mFd = -1;
    std::thread mThread;
    std::mutex mMutex;
    std::condition_variable mArrived;
    Script mScript;
    std::vector<Bytes> mPackets;
};
