#pragma once

#include "ScriptedPeer.h"

#include <QDeadlineTimer>
#include <QTest>

#include <vector>

// The packets a window sends its switcher, as a peer records them, for comparing with the bytes
// written out in a test.
namespace PeerPackets {

using Bytes = ScriptedPeer::Bytes;
using Wires = std::vector<Bytes>;

// A write of value to parameter id, with sequence number 0.
inline Bytes Set(long id, const Bytes& value) {
    Bytes data = {uint8_t(id), uint8_t(id >> 8)};
    data.insert(data.end(), value.begin(), value.end());
    return ScriptedPeer::Response(0x20, 0, data);
}

// The packets the peer received (its TakePackets()) once count have come, the event loop running
// meanwhile, or after five seconds, and those that follow within settleMs; their sequence numbers
// set to 0.
template <class Peer>
Wires Collect(Peer& peer, size_t count, int settleMs) {
    Wires wires;
    const auto take = [&] {
        const Wires more = peer.TakePackets();
        wires.insert(wires.end(), more.begin(), more.end());
    };
    QDeadlineTimer deadline(5000);
    while (wires.size() < count && !deadline.hasExpired()) {
        QTest::qWait(10);
        take();
    }
    QTest::qWait(settleMs);
    take();
    for (Bytes& wire : wires)
        wire[3] = 0;
    return wires;
}

} // namespace PeerPackets
