#include "CKdPrmManager.h"
#include "CKdUnsavedChanges.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace {

using W = CKdPrmManager::EWrite;
using S = CKdUnsavedChanges::EState;
using Event = std::pair<long, W>;

// A switcher that takes every write but refuses 103 ("Main In V Flip") and never answers 206.
struct ObservedSession : ::testing::Test {
    ObservedSession() {
        peer.SetScript([this](const ScriptedPeer::Packet& packet) {
            if (packet.command != 0x20) return device.Answer(packet);
            const int id = packet.data[0] | packet.data[1] << 8;
            if (id == 206) return std::vector<ScriptedPeer::Bytes>{};
            const uint8_t status = id == 103 ? 1 : 0;
            return std::vector<ScriptedPeer::Bytes>{
                ScriptedPeer::Response(0xA0, packet.sequence, {status})};
        });
        session.SetDeviceStream(peer.SessionStream());
        session.SetWriteObserver([this](long id, W what) {
            events.emplace_back(id, what);
            unsaved.Wrote("K1", id, what);
            states.push_back(unsaved.State("K1"));
        });
    }
    ~ObservedSession() override { session.SetDeviceStream(nullptr); }

    // Services the session until count events have come (or two seconds).
    void WaitFor(size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
            session.Service();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    ScriptedPeer peer;
    ScriptedPeer::Device device;
    CKdPrmManager session;
    CKdUnsavedChanges unsaved;
    std::vector<Event> events;
    std::vector<S> states;
};

// Each write is told when sent and when answered; the unsaved state follows: a write marks, a
// refused one leaves the mark, only a save the switcher took clears it.
TEST_F(ObservedSession, WritesAndAnswersDriveTheUnsavedState) {
    EXPECT_EQ(unsaved.State("K1"), S::Unknown);
    session.SendExecPacket(1000, 1); // a save from Unknown
    WaitFor(2);
    session.SetValue(102, 1, 0);
    WaitFor(4);
    session.SetValue(103, 1, 0);
    WaitFor(6);
    session.SendExecPacket(1000, 1);
    WaitFor(8);
    session.SendExecPacket(206, 1); // no answer: still a write
    WaitFor(9);
    session.Service();
    EXPECT_EQ(events, (std::vector<Event>{{1000, W::Sent},
                                          {1000, W::Accepted},
                                          {102, W::Sent},
                                          {102, W::Accepted},
                                          {103, W::Sent},
                                          {103, W::Refused},
                                          {1000, W::Sent},
                                          {1000, W::Accepted},
                                          {206, W::Sent}}));
    EXPECT_EQ(states, (std::vector<S>{S::Unknown, S::Saved, S::Unsaved, S::Unsaved, S::Unsaved,
                                      S::Unsaved, S::Unsaved, S::Saved, S::Unsaved}));
    // Values from the switcher are no writes.
    session.SetValueByHost(102, 0);
    EXPECT_EQ(events.size(), 9u);

    unsaved.Forget("K1");
    EXPECT_EQ(unsaved.State("K1"), S::Unknown);
}

} // namespace
