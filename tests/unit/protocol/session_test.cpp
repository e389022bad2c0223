#include "CKdPrmManager.h"
#include "LPrmObserver.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/socket.h>

namespace {

using Bytes = ScriptedPeer::Bytes;

Bytes Wire(int command, int sequence, const Bytes& data) {
    return ScriptedPeer::Response(command, sequence, data);
}

std::vector<Bytes> WireOf(const std::vector<ScriptedPeer::Packet>& packets) {
    std::vector<Bytes> wires;
    for (const auto& packet : packets)
        wires.push_back(packet.wire);
    return wires;
}

// A session attached to a scripted switcher that answers from `device` unless a test scripts
// otherwise. The version handshake (sequence 1) has happened.
struct Session : ::testing::Test {
    Session() {
        peer.SetScript(
            [this](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
        session.SetDeviceStream(peer.SessionStream());
        peer.TakePackets();
    }
    ~Session() override { session.SetDeviceStream(nullptr); }

    // The packets sent since the last call; a marker packet proves that nothing else follows.
    std::vector<Bytes> Sent() {
        session.SendExecPacket(1000, 0x5A);
        std::vector<Bytes> wires = WireOf(peer.WaitForPackets(1));
        while (wires.empty() ||
               wires.back() != Bytes{'M', 'V', 0x20, wires.back()[3], 3, 0xE8, 0x03, 0x5A})
            wires = WireOf(peer.WaitForPackets(wires.size() + 1));
        peer.TakePackets();
        wires.pop_back();
        return wires;
    }

    ScriptedPeer peer;
    ScriptedPeer::Device device;
    CKdPrmManager session;
};

TEST_F(Session, HandshakeAndVersions) {
    CKdPrmManager fresh;
    ScriptedPeer other;
    other.SetScript([this](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
    fresh.SetDeviceStream(other.SessionStream());
    EXPECT_EQ(WireOf(other.TakePackets()), (std::vector<Bytes>{{'M', 'V', 0x15, 1, 0}}));
    EXPECT_TRUE(fresh.IsOnline());
    const CKdPrmManager::_SVersionInfo versions = fresh.VersionInfo();
    EXPECT_STREQ(versions.mSoftware.CString(), "02.01");
    EXPECT_STREQ(versions.mFPGA.CString(), "04.03");
    EXPECT_STREQ(versions.mUSB.CString(), "06.05");
    EXPECT_STREQ(versions.mPHY.CString(), "08.07");
    fresh.SetDeviceStream(nullptr);

    // Replacing the stream restarts the sequence numbers.
    session.SendExecPacket(206, 1);
    session.SetDeviceStream(other.SessionStream());
    EXPECT_EQ(WireOf(other.TakePackets()), (std::vector<Bytes>{{'M', 'V', 0x15, 1, 0}}));
}

TEST(SessionOffline, NoStreamNoTraffic) {
    CKdPrmManager session;
    // Sequence numbers run 1..255 and then start again at 1; 0 never occurs.
    for (int expected = 1; expected <= 255; ++expected)
        ASSERT_EQ(session.CmdSequence(), expected);
    EXPECT_EQ(session.CmdSequence(), 1);
    EXPECT_EQ(session.MakeCmdPacket(0x10).mSequence, 2);

    EXPECT_FALSE(session.IsOnline());
    EXPECT_FALSE(session.RequestParameter(600, 4, 1000));
    EXPECT_FALSE(session.SendExecPacket(998, 1));
    EXPECT_TRUE(session.SetValue(102, 1, 0)); // stored and shown even though it is not sent
    EXPECT_EQ(session.Value(102, 0), 1);
}

TEST_F(Session, RequestsAreSplitIntoTwelveIdentifiers) {
    for (int k = 0; k < 30; ++k)
        device.memory[600 + k] = 'a' + k % 26;
    EXPECT_TRUE(session.RequestParameter(600, 30, 1000));
    const std::vector<Bytes> expected = {{'M', 'V', 0x10, 2, 3, 0x58, 0x02, 12},
                                         {'M', 'V', 0x10, 3, 3, 0x64, 0x02, 12},
                                         {'M', 'V', 0x10, 4, 3, 0x70, 0x02, 6}};
    EXPECT_EQ(WireOf(peer.TakePackets()), expected);
    EXPECT_EQ(session.Value(600, 0), 'a');
    EXPECT_EQ(session.Value(603, 0), 'd');
    EXPECT_STREQ(session.StringValue(620, 10, 1, 0).CString(), "uvwxyzabcd");

    const CKdPrmManager::_SPrmReqInfo list[] = {{102, 2}, {930, 16}, {0, 0}};
    EXPECT_TRUE(session.RequestParameters(list, 1000));
    EXPECT_EQ(peer.TakePackets().size(), 3u);
    const CKdPrmManager::_SPrmReqInfo empty[] = {{0, 0}};
    EXPECT_TRUE(session.RequestParameters(empty, 1000));
    EXPECT_FALSE(session.RequestParameters(nullptr, 1000));
}

TEST_F(Session, RequestListStopsAtTheFirstFailure) {
    peer.SetScript([this](const ScriptedPeer::Packet& packet) {
        if (packet.data.size() == 3 && packet.data[0] == 0x84) { // 900: the switcher goes away
            shutdown(peer.PeerDescriptor(), SHUT_WR);
            return std::vector<Bytes>();
        }
        return device.Answer(packet);
    });
    const CKdPrmManager::_SPrmReqInfo list[] = {{102, 2}, {900, 4}, {910, 4}, {0, 0}};
    EXPECT_FALSE(session.RequestParameters(list, 1000));
    EXPECT_EQ(peer.WaitForPackets(2).size(), 2u);
}

TEST_F(Session, EachAnswerIsAcceptedOnce) {
    peer.SetScript([](const ScriptedPeer::Packet& packet) {
        return std::vector<Bytes>{Wire(0x90, packet.sequence, {0, 10}),
                                  Wire(0x90, packet.sequence, {0, 20})};
    });
    EXPECT_TRUE(session.RequestParameter(900, 1, 1000));
    peer.Send(Wire(0x90, 77, {0, 30})); // never asked for
    session.Service();
    EXPECT_EQ(session.Value(900, 0), 10);
    EXPECT_EQ(session.ReqPrmAdrs(2), -1);
    EXPECT_EQ(session.ReqPrmAdrs(256), -1);
    EXPECT_EQ(session.ReqPrmAdrs(-1), -1);
}

TEST_F(Session, ShortAndRefusedAnswersStoreNothing) {
    session.SetValueByHost(180, 1000);
    int answer = 0;
    peer.SetScript([&](const ScriptedPeer::Packet& packet) {
        switch (answer++) {
        case 0:
            return std::vector<Bytes>{Wire(0x90, packet.sequence, {0, 0x00})}; // upper byte missing
        case 1:
            return std::vector<Bytes>{Wire(0x90, packet.sequence, {0, 0x00, 0x0F})};
        case 2:
            return std::vector<Bytes>{Wire(0x90, packet.sequence, {0, 1, 2, 3, 4})};
        case 3:
            return std::vector<Bytes>{Wire(0x90, packet.sequence, {})}; // no status byte
        default:
            return std::vector<Bytes>{Wire(0x90, packet.sequence, {1, 9, 9, 9, 9})}; // refused
        }
    });
    EXPECT_TRUE(session.RequestParameter(180, 2, 1000));
    EXPECT_EQ(session.Value(180, 0), 1000);
    EXPECT_TRUE(session.RequestParameter(180, 2, 1000));
    EXPECT_EQ(session.Value(180, 0), 3840);

    // A refusal without data after an answer with data decodes nothing of the leftover bytes.
    EXPECT_TRUE(session.RequestParameter(600, 4, 1000));
    EXPECT_TRUE(session.RequestParameter(900, 4, 1000));
    EXPECT_TRUE(session.RequestParameter(900, 4, 1000));
    EXPECT_EQ(session.Value(900, 0), 192);
    EXPECT_EQ(session.Value(903, 0), 100);
    EXPECT_FALSE(session.SetValueByHost(900, nullptr, 4));
}

TEST_F(Session, TopValuesTravelAs255) {
    EXPECT_TRUE(session.SetValue(218, 2, 0));
    EXPECT_TRUE(session.SetValue(250, 4, 0));
    EXPECT_TRUE(session.SetValue(218, 1, 0));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{'M', 'V', 0x20, 2, 3, 0xDA, 0x00, 0xFF},
                                          {'M', 'V', 0x20, 3, 3, 0xFA, 0x00, 0xFF},
                                          {'M', 'V', 0x20, 4, 3, 0xDA, 0x00, 0x01}}));

    device.memory[218] = 255;
    device.memory[220] = 7;
    device.memory[239] = 255;
    EXPECT_TRUE(session.RequestParameter(218, 22, 1000));
    EXPECT_EQ(session.Value(218, 0), 2);
    EXPECT_EQ(session.Value(220, 0), 4);
    EXPECT_EQ(session.Value(239, 0), 2);
}

TEST_F(Session, SignedValuesBothWays) {
    EXPECT_TRUE(session.SetValue(182, -960, 0));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{'M', 'V', 0x20, 2, 4, 0xB6, 0x00, 0x40, 0xFC}}));

    device.memory[184] = 0xE4; // -540
    device.memory[185] = 0xFD;
    device.memory[231] = 0xE2; // -30
    EXPECT_TRUE(session.RequestParameter(184, 2, 1000));
    EXPECT_TRUE(session.RequestParameter(231, 1, 1000));
    EXPECT_EQ(session.Value(184, 0), -540);
    EXPECT_EQ(session.Value(231, 0), -30);
}

TEST_F(Session, TextsGoOutWholeInPiecesOf32) {
    std::string text;
    for (int k = 0; k < 64; ++k)
        text += static_cast<char>('A' + k % 26);
    EXPECT_TRUE(session.SetStringValue(620, text.c_str(), 64, 1, 0));
    const std::vector<Bytes> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    Bytes first = {'M', 'V', 0x20, 2, 34, 0x6C, 0x02};
    first.insert(first.end(), text.begin(), text.begin() + 32);
    Bytes second = {'M', 'V', 0x20, 3, 34, 0x8C, 0x02};
    second.insert(second.end(), text.begin() + 32, text.end());
    EXPECT_EQ(sent[0], first);
    EXPECT_EQ(sent[1], second);

    EXPECT_TRUE(session.SetStringValue(620, text.c_str(), 64, 1, 0)); // unchanged: nothing
    EXPECT_TRUE(Sent().empty());

    // What goes out is what was stored: control characters become spaces.
    EXPECT_TRUE(session.SetStringValue(930, "ab\x01", 16, 1, 0));
    Bytes login = {'M', 'V', 0x20, 6, 18, 0xA2, 0x03, 'a', 'b', ' '};
    login.resize(login.size() + 13, 0);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{login}));
}

TEST_F(Session, ExecuteAndRegionDataAreSentNotStored) {
    EXPECT_TRUE(session.SendExecPacket(206, 1));
    Bytes roi(60);
    for (int k = 0; k < 60; ++k)
        roi[k] = k;
    EXPECT_TRUE(session.SendRoiPackets(187, roi.data(), 60));
    const std::vector<Bytes> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Bytes{'M', 'V', 0x20, 2, 3, 0xCE, 0x00, 1}));
    Bytes expectedRoi = {'M', 'V', 0x20, 3, 59, 0xBB, 0x00};
    expectedRoi.insert(expectedRoi.end(), roi.begin(), roi.begin() + 57);
    EXPECT_EQ(sent[1], expectedRoi);
    EXPECT_EQ(session.Value(187, 0), 0);
}

class CountingObserver : public LPrmObserver {
public:
    using LPrmObserver::LPrmObserver;
    void ValueUpdated() override { ++updates; }
    int updates = 0;
};

TEST_F(Session, SwitcherValuesAreShownButNotSentBack) {
    CountingObserver observer(&session);
    observer.SetPrmID(102);
    EXPECT_TRUE(session.SetValueByHost(102, 1));
    EXPECT_TRUE(Sent().empty());
    session.Service();
    EXPECT_EQ(observer.updates, 1);
    EXPECT_EQ(observer.LastValue(), 1);

    EXPECT_TRUE(session.SetValue(102, 0, 0));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{'M', 'V', 0x20, 3, 3, 0x66, 0x00, 0x00}}));
}

} // namespace
