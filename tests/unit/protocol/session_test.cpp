#include "CKdPrmManager.h"
#include "LPrmObserver.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <numeric>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
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

// Values on the wire, copied from the documented encoding: little-endian words, two's complement,
// and the top value of the five "Off" lists as 255, both ways.
TEST_F(Session, WireEncodingAsDocumented) {
    struct Edit {
        long id;
        int value;
        Bytes wire; // the value bytes after the identifier
    };
    const Edit edits[] = {
        {218, 2, {0xFF}},          {218, 1, {0x01}},         {220, 4, {0xFF}},
        {220, 3, {0x03}},          {239, 2, {0xFF}},         {240, 2, {0xFF}},
        {250, 4, {0xFF}},          {214, 4, {0x04}},         {210, 6, {0x06}},
        {182, -960, {0x40, 0xFC}}, {180, 768, {0x00, 0x03}}, {414, 2350, {0x2E, 0x09}},
        {231, -50, {0xCE}},        {516, -48, {0xD0}},
    };
    Wires expected;
    int sequence = 2;
    for (const Edit& edit : edits) {
        EXPECT_TRUE(session.SetValue(edit.id, edit.value, 0)) << edit.id;
        expected.push_back(Set(sequence++, edit.id, edit.wire));
    }
    EXPECT_EQ(Sent(), expected);

    struct Answer {
        long id;
        Bytes wire;
        int stored;
    };
    const Answer answers[] = {
        {218, {0xFF}, 2},          {218, {0x02}, 2},          {220, {0xFF}, 4},
        {239, {0xFF}, 2},          {240, {0xFF}, 2},          {250, {0xFF}, 4},
        {214, {0xFF}, 255},        {231, {0xE2}, -30},        {441, {0xA0}, -96},
        {516, {0x34}, 52},         {184, {0xE4, 0xFD}, -540}, {180, {0x00, 0x0F}, 3840},
        {414, {0x2E, 0x09}, 2350},
    };
    for (const Answer& answer : answers) {
        std::copy(answer.wire.begin(), answer.wire.end(), device.memory + answer.id);
        EXPECT_TRUE(session.RequestParameter(answer.id, int(answer.wire.size()), 1000));
        EXPECT_EQ(session.Value(answer.id, 0), answer.stored) << answer.id;
    }
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

// Executes and region data are sent but not stored; values from the switcher are shown but
// not sent back.
TEST_F(Session, WhatIsSentAndWhatIsStored) {
    LPrmObserver observer(&session);
    observer.SetPrmID(102);
    EXPECT_TRUE(session.SendExecPacket(206, 1));
    Bytes roi(60);
    std::iota(roi.begin(), roi.end(), 0);
    EXPECT_TRUE(session.SendRoiPackets(187, roi.data(), 60));
    EXPECT_TRUE(session.SetValueByHost(102, 1));
    EXPECT_EQ(Sent(), (Wires{Set(2, 206, {1}), Set(3, 187, Bytes(roi.begin(), roi.begin() + 57))}));
    EXPECT_EQ(session.Value(187, 0), 0);
    session.Service(); // the observer's pass has seen the value
    EXPECT_EQ(observer.LastValue(), 1);

    EXPECT_TRUE(session.SetValue(102, 0, 0));
    EXPECT_EQ(Sent(), (Wires{Set(5, 102, {0})}));
}

TEST_F(Session, ALateAnswerCannotPassForTheAnswerToALaterRequest) {
    device.memory[121] = 7;
    device.memory[221] = 9;
    Bytes overdue;
    peer.SetScript([&](const ScriptedPeer::Packet& packet) {
        if (packet.command != 0x10) return Wires();
        const Wires answer = device.Answer(packet);
        if (overdue.empty()) {
            overdue = answer[0]; // held back, and sent in front of the next answer
            return Wires();
        }
        return Wires{overdue, answer[0]};
    });
    EXPECT_FALSE(session.RequestParameter(121, 1, 50));
    for (int k = 0; k < 254; ++k) // the sequence numbers come round to the overdue one
        session.SendExecPacket(1000, 0);
    EXPECT_TRUE(session.RequestParameter(221, 1, 1000));
    EXPECT_EQ(session.Value(221, 0), 9);
    EXPECT_EQ(session.Value(121, 0), 7); // the late answer still counts for its own request
}

// A reading sends what RequestParameters sends, in the same order, but returns at once: Service
// decodes the answers and sends each next request, and ends the reading at the first request
// without answer. A new stream ends a reading too.
TEST_F(Session, AReadingSendsWhatRequestParametersSends) {
    const auto zeroed = [](Wires wires) {
        for (Bytes& wire : wires)
            wire[3] = 0;
        return wires;
    };
    const CKdPrmManager::_SPrmReqInfo list[] = {{102, 2}, {900, 4}, {930, 16}, {0, 0}};
    device.memory[931] = 'k';
    for (const bool answersAll : {true, false}) {
        SCOPED_TRACE(answersAll ? "all answered" : "900 unanswered");
        // By value: the peer's thread may still answer after this iteration.
        peer.SetScript([this, answersAll](const ScriptedPeer::Packet& packet) {
            const bool dropped = !answersAll && packet.data.size() == 3 && packet.data[0] == 0x84;
            return dropped ? Wires() : device.Answer(packet);
        });
        EXPECT_EQ(session.RequestParameters(list, 1000), answersAll);
        const Wires expected = zeroed(Sent());
        session.SetValueByHost(931, 0);

        int ended = 0;
        const int ticket = session.ReadParameters(list, [&] { ++ended; });
        EXPECT_TRUE(session.IsReading(ticket));
        const Clock::time_point deadline = Clock::now() + 5s;
        while (session.IsReading(ticket) && Clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
            session.Service();
        }
        EXPECT_EQ(ended, 1);
        EXPECT_EQ(zeroed(Sent()), expected);
        EXPECT_EQ(session.Value(931, 0), answersAll ? 'k' : 0);
    }

    EXPECT_EQ(session.ReadParameters(list + 3, nullptr), 0);
    int ended = 0;
    const int ticket = session.ReadParameters(list, [&] { ++ended; });
    session.SetDeviceStream(nullptr);
    EXPECT_FALSE(session.IsReading(ticket));
    EXPECT_EQ(ended, 1);
}

// A busy or noisy line: the wait restarts with every chunk, but not beyond twice its length.
TEST_F(Session, AWaitEndsAtTwiceItsLengthWhateverTrickles) {
    peer.SetScript(nullptr);
    std::atomic<bool> quiet{false};
    std::thread noise([&] {
        for (int k = 0; k < 40 && !quiet; ++k) { // a stray byte every 40 ms for 1.6 s
            peer.Send({'x'});
            std::this_thread::sleep_for(40ms);
        }
    });
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(session.RequestParameter(221, 1, 100));
    const Clock::duration waited = Clock::now() - start;
    quiet = true;
    noise.join();
    EXPECT_LT(waited, 600ms);

    // An answer that arrives slowly, byte by byte, is still taken within twice the wait.
    peer.TakePackets();
    std::thread answer([&] {
        const Bytes request = peer.WaitForPackets(1).at(0);
        for (uint8_t byte : Wire(0x90, request[3], {0, 9})) {
            std::this_thread::sleep_for(60ms);
            peer.Send({byte});
        }
    });
    EXPECT_TRUE(session.RequestParameter(221, 1, 300));
    answer.join();
    EXPECT_EQ(session.Value(221, 0), 9);
}

// A session on one end of a socket pair whose other end the test reads when it chooses.
struct SessionOnAFullLine : ::testing::Test {
    SessionOnAFullLine() {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        far = fds[1];
        LObjPtr_<LStream> stream = new ScriptedPeer::SocketStream(fds[0]);
        stream->ReleaseObject();
        session.SetDeviceStream(stream); // the version request goes unanswered
        Drain(CKdCmdPacket::kHeaderSize);
    }
    ~SessionOnAFullLine() override {
        session.SetDeviceStream(nullptr);
        close(far);
    }

    // Fills the line until nothing more fits; the byte count.
    size_t Fill() {
        const std::vector<uint8_t> junk(4096, 'x');
        size_t filled = 0;
        const int near = session.DeviceStream()->Descriptor();
        for (ssize_t count; (count = send(near, junk.data(), junk.size(), 0)) > 0;)
            filled += size_t(count);
        return filled;
    }
    // Reads exactly count bytes from the far end.
    Bytes Drain(size_t count) {
        Bytes bytes(count);
        for (size_t got = 0; got < count;) {
            const ssize_t n = read(far, bytes.data() + got, count - got);
            if (n <= 0) break;
            got += size_t(n);
        }
        return bytes;
    }

    CKdPrmManager session;
    int far = -1;
};

TEST_F(SessionOnAFullLine, APacketWaitsForRoomAndGoesOutWhole) {
    const size_t filled = Fill();
    Bytes tail;
    std::thread reader([&] {
        std::this_thread::sleep_for(100ms);
        Drain(filled);
        tail = Drain(Set(0, 206, {1}).size());
    });
    EXPECT_TRUE(session.SendExecPacket(206, 1));
    reader.join();
    EXPECT_EQ(tail, Set(2, 206, {1}));

    // A line that takes nothing fails the write after the bounded wait.
    Fill();
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(session.SendExecPacket(206, 1));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(CKdPrmManager::kWriteWaitMs));
}

} // namespace
