#pragma once

#include "CKdPrmManager.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <vector>

// A session on a scripted switcher that answers read-backs from `device`, with the version
// handshake done. Sent() gives the packets written since the last call.
struct RemoteSession : ::testing::Test {
    using Bytes = ScriptedPeer::Bytes;
    using Wires = std::vector<Bytes>;

    RemoteSession() {
        peer.SetScript([this](const ScriptedPeer::Packet& packet) {
            return answering ? device.Answer(packet) : std::vector<Bytes>();
        });
        session.SetDeviceStream(peer.SessionStream());
        peer.TakePackets();
    }
    ~RemoteSession() override { session.SetDeviceStream(nullptr); }

    // The packets written since the last call, in order, with their sequence numbers checked to
    // run on by one and then set to 0. A marker packet proves that nothing else followed.
    Wires Sent() {
        session.SendExecPacket(1000, 0x5A);
        Wires wires = peer.WaitForPackets(1);
        while (wires.empty() || !IsMarker(wires.back()))
            wires = peer.WaitForPackets(wires.size() + 1);
        peer.TakePackets();
        wires.pop_back();
        for (size_t k = 0; k < wires.size(); ++k) {
            EXPECT_EQ(wires[k][3], (mNextSequence - 1 + k) % 255 + 1) << "packet " << k;
            wires[k][3] = 0;
        }
        mNextSequence = (mNextSequence + wires.size()) % 255 + 1; // the marker took one
        return wires;
    }

    // A set packet (command 0x20) for id with its value bytes, sequence number 0.
    static Bytes Set(long id, const Bytes& value) {
        Bytes data = {uint8_t(id), uint8_t(id >> 8)};
        data.insert(data.end(), value.begin(), value.end());
        return ScriptedPeer::Response(0x20, 0, data);
    }
    // A read-back request (command 0x10) for count bytes from id, sequence number 0.
    static Bytes Request(long id, int count) {
        return ScriptedPeer::Response(0x10, 0, {uint8_t(id), uint8_t(id >> 8), uint8_t(count)});
    }

    // Gives the session's model the switcher's count bytes from id, as a read-back would,
    // without traffic.
    void Load(long id, int count) { session.SetValueByHost(id, device.memory + id, count); }

    // Puts a value into the switcher's memory, low byte first.
    void Store(long id, int value, int width = 1) {
        for (int k = 0; k < width; ++k)
            device.memory[id + k] = uint8_t(value >> 8 * k);
    }

    ScriptedPeer peer;
    ScriptedPeer::Device device;
    CKdPrmManager session;
    bool answering = true;

private:
    static bool IsMarker(const Bytes& wire) {
        return wire.size() == 8 && wire[2] == 0x20 && wire[5] == 0xE8 && wire[6] == 0x03 &&
               wire[7] == 0x5A;
    }
    size_t mNextSequence = 2; // 1 was the version request; sequence numbers run 1..255
};
