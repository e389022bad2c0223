#include "CKdCmdPacket.h"
#include "CKdCmdParser.h"
#include "CKdPrmManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes WireBytes(const CKdCmdPacket& packet) {
    const auto* bytes = static_cast<const uint8_t*>(packet.Bytes());
    return Bytes(bytes, bytes + packet.WireSize());
}

// A parser without a manager that records the wire bytes of every completed packet.
struct Recorder : CKdCmdParser::Delegate {
    Recorder() { parser.SetDelegate(this); }
    void PacketCompleted(CKdCmdParser*, const CKdCmdPacket& packet) override {
        packets.push_back(WireBytes(packet));
    }
    void Feed(const Bytes& bytes) { parser.ParseData(bytes.data(), bytes.size()); }

    CKdCmdParser parser{nullptr};
    std::vector<Bytes> packets;
};

TEST(CmdPacket, LayoutAndAppend) {
    CKdCmdPacket packet(0x20, 7);
    EXPECT_TRUE(packet.Append(0x1B6)); // low 8 bits only
    const uint8_t pair[] = {0x40, 0xFC};
    EXPECT_TRUE(packet.Append(pair, 2));
    EXPECT_TRUE(packet.Append(nullptr, 0));
    EXPECT_EQ(WireBytes(packet), (Bytes{'M', 'V', 0x20, 7, 3, 0xB6, 0x40, 0xFC}));

    const Bytes filler(60, 0xAA);
    EXPECT_FALSE(packet.Append(filler.data(), 60)); // 56 of them fit
    EXPECT_FALSE(packet.Append(1));
    EXPECT_EQ(packet.mLength, CKdCmdPacket::kMaxDataLength);
    EXPECT_EQ(packet.WireSize(), 64);
    EXPECT_EQ(packet.mData[58], 0xAA);
}

TEST(CmdParser, Framing) {
    Recorder recorder;
    recorder.Feed({'M', 'V', 0x90, 0x03});
    EXPECT_TRUE(recorder.packets.empty());
    recorder.parser.ParseData(0x00); // an empty packet completes at its length byte
    recorder.Feed({'X', 'M', 'V', 0x15, 1, 0, 'M', 'M', 'V', 0x15, 2, 0});
    recorder.Feed({'M', 'X', 'M', 'V', 0x15, 3, 1, 0xEE});
    recorder.Feed({'M', 'V', 0x90, 4, 3, 0}); // a partial packet is dropped by ResetPhase
    recorder.parser.ResetPhase();
    recorder.Feed({'M', 'V', 0x90, 5, 0});
    const std::vector<Bytes> expected = {{'M', 'V', 0x90, 3, 0},
                                         {'M', 'V', 0x15, 1, 0},
                                         {'M', 'V', 0x15, 2, 0},
                                         {'M', 'V', 0x15, 3, 1, 0xEE},
                                         {'M', 'V', 0x90, 5, 0}};
    EXPECT_EQ(recorder.packets, expected);
}

TEST(CmdParser, OverlongPacketKeepsCapacityAndConsumesDeclaredLength) {
    Recorder recorder;
    Bytes stream{'M', 'V', 0x32, 9, 70};
    for (int i = 0; i < 69; ++i)
        stream.push_back(static_cast<uint8_t>(i));
    recorder.Feed(stream);
    EXPECT_TRUE(recorder.packets.empty());
    // The last declared byte is an "M": it must be consumed as data, not taken as a header.
    recorder.Feed({'M', 'V', 0x15, 1, 0});
    ASSERT_EQ(recorder.packets.size(), 1u);
    const Bytes& packet = recorder.packets[0];
    ASSERT_EQ(packet.size(), 64u);
    EXPECT_EQ(packet[4], 59);
    EXPECT_EQ(packet[63], 58);
}

// The bulk path of ParseData, fed in chunks of any size, must behave exactly as the byte-by-byte
// state machine.
TEST(CmdParser, ChunkedFeedingEqualsBytewiseFeeding) {
    std::mt19937 random(42);
    Bytes stream;
    for (int i = 0; i < 300; ++i) {
        for (int junk = random() % 4; junk > 0; --junk)
            stream.push_back("MVX\x00"[random() % 4]);
        const int length = random() % 80;
        stream.insert(stream.end(), {'M', 'V', uint8_t(random()), uint8_t(i), uint8_t(length)});
        for (int k = 0; k < length; ++k)
            stream.push_back(static_cast<uint8_t>(random()));
    }

    Recorder single, chunked;
    for (uint8_t byte : stream)
        single.parser.ParseData(byte);
    for (size_t at = 0; at < stream.size();) {
        const size_t n = std::min<size_t>(random() % 40, stream.size() - at);
        chunked.parser.ParseData(stream.data() + at, n);
        at += n;
    }
    EXPECT_GE(single.packets.size(), 250u);
    EXPECT_EQ(chunked.packets, single.packets);
}

// Valid version responses are decoded in the session's tests.
TEST(CmdParser, InvalidVersionResponsesAreNotDecoded) {
    CKdPrmManager session;
    const Bytes stream = {
        'M', 'V', 0x90, 0x01, 0x01, 0x00,                            // leaves a status byte 0
        'M', 'V', 0x95, 0x02, 0x00,                                  // no status byte
        'M', 'V', 0x95, 0x03, 0x09, 0x01, 1, 2, 1, 2, 1, 2, 1, 2,    // refused
        'M', 'V', 0x95, 0x04, 0x08, 0x00, 1, 2, 1, 2, 1, 2, 1,       // too short
        'M', 'V', 0x95, 0x05, 0x0A, 0x00, 1, 2, 1, 2, 1, 2, 1, 2, 0, // too long
    };
    session.KdCmdParser()->ParseData(stream.data(), stream.size());
    EXPECT_EQ(session.Value(990, 0), 0);
    EXPECT_FALSE(session.IsOnline()); // no stream: the repeated request cannot be sent
}

} // namespace
