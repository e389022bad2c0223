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

    // The switcher's answers: versions, and parameter values read from a memory of 1001 bytes.
    struct Device {
        uint8_t memory[1001] = {};
        uint16_t versions[4] = {0x0102, 0x0304, 0x0506, 0x0708};

        std::vector<Bytes> Answer(const Packet& packet) const {
            if (packet.command == 0x15) {
                Bytes data = {0};
                for (uint16_t word : versions)
                    data.insert(data.end(), {uint8_t(word), uint8_t(word >> 8)});
                return {Response(0x95, packet.sequence, data)};
            }
            if (packet.command == 0x10 && packet.data.size() == 3) {
                const int id = packet.data[0] | packet.data[1] << 8;
                const int count = packet.data[2];
                Bytes data = {0};
                for (int k = 0; k < count && id + k < 1001; ++k)
                    data.push_back(memory[id + k]);
                return {Response(0x90, packet.sequence, data)};
            }
            return {};
        }
    };

    // An LStream over one descriptor, closed with the stream.
    class SocketStream : public LStream {
    public:
        explicit SocketStream(int fd) : mFd(fd) {}
        ~SocketStream() override { Close(); }
        int Descriptor() const override { return mFd; }
        ssize_t Write(const void* bytes, unsigned long count) override {
            return mFd < 0 ? 0 : send(mFd, bytes, count, MSG_NOSIGNAL);
        }
        void Close() override {
            if (mFd >= 0) close(mFd);
            mFd = -1;
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
    void SetRecording(bool recording) {
        std::lock_guard lock(mMutex);
        mRecording = recording;
    }

    // The packets received so far, once at least n have arrived or after the time-out.
    std::vector<Packet> WaitForPackets(size_t n, int timeoutMs = 2000) {
        std::unique_lock lock(mMutex);
        mArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return mPackets.size() >= n; });
        return mPackets;
    }
    // The packets received so far; the record starts again empty.
    std::vector<Packet> TakePackets() {
        std::lock_guard lock(mMutex);
        return std::exchange(mPackets, {});
    }
    // Writes bytes to the session as if the switcher had sent them.
    bool Send(const Bytes& bytes) const {
        return send(mFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    static Bytes Response(int command, int sequence, const Bytes& data) {
        Bytes wire = data;
        const uint8_t header[] = {'M', 'V', uint8_t(command), uint8_t(sequence),
                                  uint8_t(data.size())};
        wire.insert(wire.begin(), std::begin(header), std::end(header));
        return wire;
    }

private:
    void Run() {
        Bytes pending;
        uint8_t chunk[256];
        for (;;) {
            const ssize_t count = read(mFd, chunk, sizeof chunk);
            if (count <= 0) return;
            pending.insert(pending.end(), chunk, chunk + count);
            // The session writes whole packets; take every complete one.
            while (pending.size() >= 5 && pending.size() >= 5u + pending[4]) {
                Packet packet;
                packet.command = pending[2];
                packet.sequence = pending[3];
                packet.wire.assign(pending.begin(), pending.begin() + 5 + pending[4]);
                packet.data.assign(packet.wire.begin() + 5, packet.wire.end());
                pending.erase(pending.begin(), pending.begin() + packet.wire.size());
                for (const Bytes& reply : Answer(packet))
                    Send(reply);
            }
        }
    }

    std::vector<Bytes> Answer(const Packet& packet) {
        std::lock_guard lock(mMutex);
        std::vector<Bytes> replies = mScript ? mScript(packet) : std::vector<Bytes>();
        if (mRecording) mPackets.push_back(packet);
        mArrived.notify_all();
        return replies;
    }

    LObjPtr_<SocketStream> mStream;
    int mFd = -1;
    std::thread mThread;
    std::mutex mMutex;
    std::condition_variable mArrived;
    Script mScript;
    bool mRecording = true;
    std::vector<Packet> mPackets;
};
