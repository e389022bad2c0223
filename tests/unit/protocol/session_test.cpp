#include "CKdPrmManager.h"
#include "LPrmObserver.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <sys/socket.h>

namespace {

using Bytes = ScriptedPeer::Bytes;
using Wires = std::vector<Bytes>;

const auto Wire = ScriptedPeer::Response;

// The set command with the given sequence number for id and its value bytes.
Bytes Set(int sequence, long id, const Bytes& value) {
    Bytes data = {uint8_t(id), uint8_t(id >> 8)};
    data.insert(data.end(), value.begin(), value.end());
    return Wire(0x20, sequence, data);
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
    Wires Sent() {
        session.SendExecPacket(1000, 0x5A);
        Wires wires = peer.WaitForPackets(1);
        while (wires.empty() || wires.back() != Set(wires.back()[3], 1000, {0x5A}))
            wires = peer.WaitForPackets(wires.size() + 1);
        peer.TakePackets();
        wires.pop_back();
        return wires;
    }

    ScriptedPeer peer;
    ScriptedPeer::Device device;
    CKdPrmManager session;
};

TEST_F(Session, VersionsAndHandshakeOnANewStream) {
    EXPECT_TRUE(session.IsOnline());
    const CKdPrmManager::_SVersionInfo versions = session.VersionInfo();
    EXPECT_STREQ(versions.mSoftware.CString(), "02.01");
    EXPECT_STREQ(versions.mFPGA.CString(), "04.03");
    EXPECT_STREQ(versions.mUSB.CString(), "06.05");
    EXPECT_STREQ(versions.mPHY.CString(), "08.07");

    // Replacing the stream restarts the sequence numbers with a new handshake.
    session.SendExecPacket(206, 1);
    ScriptedPeer other;
    other.SetScript([this](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
    session.SetDeviceStream(other.SessionStream());
    EXPECT_EQ(other.TakePackets(), (Wires{{'M', 'V', 0x15, 1, 0}}));
    EXPECT_TRUE(session.IsOnline());
    session.SetDeviceStream(nullptr);
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
    const Wires expected = {{'M', 'V', 0x10, 2, 3, 0x58, 0x02, 12},
                            {'M', 'V', 0x10, 3, 3, 0x64, 0x02, 12},
                            {'M', 'V', 0x10, 4, 3, 0x70, 0x02, 6}};
    EXPECT_EQ(peer.TakePackets(), expected);
    EXPECT_STREQ(session.StringValue(620, 10, 1, 0).CString(), "uvwxyzabcd");

    const CKdPrmManager::_SPrmReqInfo list[] = {{102, 2}, {930, 16}, {0, 0}};
    EXPECT_TRUE(session.RequestParameters(list, 1000));
    EXPECT_EQ(peer.TakePackets().size(), 3u);
    EXPECT_TRUE(session.RequestParameters(list + 2, 1000));
    EXPECT_FALSE(session.RequestParameters(nullptr, 1000));
}

TEST_F(Session, RequestListStopsAtTheFirstFailure) {
    peer.SetScript([this](const ScriptedPeer::Packet& packet) {
        if (packet.data.size() == 3 && packet.data[0] == 0x84) { // 900: the switcher goes away
            shutdown(peer.PeerDescriptor(), SHUT_WR);
            return Wires();
        }
        return device.Answer(packet);
    });
    const CKdPrmManager::_SPrmReqInfo list[] = {{102, 2}, {900, 4}, {910, 4}, {0, 0}};
    EXPECT_FALSE(session.RequestParameters(list, 1000));
    EXPECT_EQ(peer.WaitForPackets(2).size(), 2u);
}

TEST_F(Session, EachAnswerIsAcceptedOnce) {
    peer.SetScript([](const ScriptedPeer::Packet& packet) {
        return Wires{Wire(0x90, packet.sequence, {0, 10}), Wire(0x90, packet.sequence, {0, 20})};
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
    const Wires answers = {{0, 0x00}, {0, 0x00, 0x0F}, {0, 1, 2, 3, 4}, {}, {1, 9, 9, 9, 9}};
    size_t next = 0;
    peer.SetScript([&](const ScriptedPeer::Packet& packet) {
        return Wires{Wire(0x90, packet.sequence, answers[next++])};
    });
    session.SetValueByHost(180, 1000);
    EXPECT_TRUE(session.RequestParameter(180, 2, 1000)); // the upper byte is missing
    EXPECT_EQ(session.Value(180, 0), 1000);
    EXPECT_TRUE(session.RequestParameter(180, 2, 1000));
    EXPECT_EQ(session.Value(180, 0), 3840);

    // Neither an answer without its status byte nor a refusal decodes anything, not even what the
    // previous answer left in the buffer; their requests stay open.
    EXPECT_TRUE(session.RequestParameter(600, 4, 1000));
    EXPECT_TRUE(session.RequestParameter(900, 4, 1000));
    EXPECT_TRUE(session.RequestParameter(900, 4, 1000));
    EXPECT_EQ(session.Value(900, 0), 192);
    EXPECT_EQ(session.Value(903, 0), 100);
    EXPECT_EQ(session.ReqPrmAdrs(5), 900);
    EXPECT_EQ(session.ReqPrmAdrs(6), 900);
    EXPECT_FALSE(session.SetValueByHost(900, nullptr, 4));
}

TEST_F(Session, WireEncodingOfTopAndSignedValues) {
    EXPECT_TRUE(session.SetValue(218, 2, 0)); // the top value travels as 255
    EXPECT_TRUE(session.SetValue(250, 4, 0));
    EXPECT_TRUE(session.SetValue(218, 1, 0));
    EXPECT_TRUE(session.SetValue(182, -960, 0));
    EXPECT_EQ(Sent(), (Wires{Set(2, 218, {0xFF}),
                             Set(3, 250, {0xFF}),
                             Set(4, 218, {0x01}),
                             {'M', 'V', 0x20, 5, 4, 0xB6, 0x00, 0x40, 0xFC}}));

    device.memory[218] = 255;
    device.memory[220] = 7;
    device.memory[231] = 0xE2; // -30
    device.memory[239] = 255;
    device.memory[184] = 0xE4; // -540
    device.memory[185] = 0xFD;
    EXPECT_TRUE(session.RequestParameter(218, 22, 1000));
    EXPECT_TRUE(session.RequestParameter(184, 2, 1000));
    EXPECT_EQ(session.Value(218, 0), 2);
    EXPECT_EQ(session.Value(220, 0), 4);
    EXPECT_EQ(session.Value(231, 0), -30);
    EXPECT_EQ(session.Value(239, 0), 2);
    EXPECT_EQ(session.Value(184, 0), -540);
}

TEST_F(Session, TextsGoOutWholeInPiecesOf32) {
    std::string text;
    for (int k = 0; k < 64; ++k)
        text += static_cast<char>('A' + k % 26);
    EXPECT_TRUE(session.SetStringValue(620, text.c_str(), 64, 1, 0));
    EXPECT_EQ(Sent(), (Wires{Set(2, 620, Bytes(text.begin(), text.begin() + 32)),
                             Set(3, 652, Bytes(text.begin() + 32, text.end()))}));

    EXPECT_TRUE(session.SetStringValue(620, text.c_str(), 64, 1, 0)); // unchanged: nothing
    EXPECT_TRUE(Sent().empty());

    // What goes out is what was stored: control characters become spaces.
    EXPECT_TRUE(session.SetStringValue(930, "ab\x01", 16, 1, 0));
    Bytes login = {'a', 'b', ' '};
    login.resize(16, 0);
    EXPECT_EQ(Sent(), (Wires{Set(6, 930, login)}));
}

TEST_F(Session, ExecuteAndRegionDataAreSentNotStored) {
    EXPECT_TRUE(session.SendExecPacket(206, 1));
    Bytes roi(60);
    std::iota(roi.begin(), roi.end(), 0);
    EXPECT_TRUE(session.SendRoiPackets(187, roi.data(), 60));
    EXPECT_EQ(Sent(), (Wires{Set(2, 206, {1}), Set(3, 187, Bytes(roi.begin(), roi.begin() + 57))}));
    EXPECT_EQ(session.Value(187, 0), 0);
}

TEST_F(Session, SwitcherValuesAreShownButNotSentBack) {
    LPrmObserver observer(&session);
    observer.SetPrmID(102);
    EXPECT_TRUE(session.SetValueByHost(102, 1));
    EXPECT_TRUE(Sent().empty());
    session.Service(); // the observer's pass has seen the value
    EXPECT_EQ(observer.LastValue(), 1);

    EXPECT_TRUE(session.SetValue(102, 0, 0));
    EXPECT_EQ(Sent(), (Wires{Set(3, 102, {0})}));
}

} // namespace
