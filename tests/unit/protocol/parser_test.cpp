#include "CKdCmdPacket.h"
#include "CKdCmdParser.h"
#include "CKdPrmManager.h"
#include "ScriptedPeer.h"

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

// Records the wire bytes of every completed packet.
class Recorder : public CKdCmdParser::Delegate {
public:
    void PacketCompleted(CKdCmdParser*, const CKdCmdPacket& packet) override {
        packets.push_back(WireBytes(packet));
    }
    std::vector<Bytes> packets;
};

struct FramingFixture : ::testing::Test {
    FramingFixture() { parser.SetDelegate(&recorder); }
    void Feed(const Bytes& bytes) { parser.ParseData(bytes.data(), bytes.size()); }

    CKdCmdParser parser{nullptr};
    Recorder recorder;
};

TEST(CmdPacket, LayoutAndAppend) {
    CKdCmdPacket packet(0x20, 7);
    EXPECT_EQ(WireBytes(packet), (Bytes{'M', 'V', 0x20, 7, 0}));

    EXPECT_TRUE(packet.Append(0x1B6)); // low 8 bits only
    const uint8_t pair[] = {0x40, 0xFC};
    EXPECT_TRUE(packet.Append(pair, 2));
    EXPECT_TRUE(packet.Append(nullptr, 0));
    EXPECT_TRUE(packet.Append(pair, -1));
    EXPECT_EQ(WireBytes(packet), (Bytes{'M', 'V', 0x20, 7, 3, 0xB6, 0x40, 0xFC}));

    const Bytes filler(60, 0xAA);
    EXPECT_FALSE(packet.Append(filler.data(), 60)); // 56 of them fit
    EXPECT_EQ(packet.mLength, CKdCmdPacket::kMaxDataLength);
    EXPECT_EQ(packet.WireSize(), 64);
    EXPECT_FALSE(packet.Append(1));
    EXPECT_FALSE(packet.Append(pair, 1));
    EXPECT_EQ(packet.mLength, CKdCmdPacket::kMaxDataLength);
    EXPECT_EQ(packet.mData[58], 0xAA);
}

TEST_F(FramingFixture, EmptyPacketCompletesAtLengthByte) {
    Feed({'M', 'V', 0x90, 0x03});
    EXPECT_TRUE(recorder.packets.empty());
    parser.ParseData(0x00);
    ASSERT_EQ(recorder.packets.size(), 1u);
    EXPECT_EQ(recorder.packets[0], (Bytes{'M', 'V', 0x90, 0x03, 0x00}));
}

TEST_F(FramingFixture, ResynchronisesOnHeader) {
    Feed({'X', 'M', 'V', 0x15, 1, 0});
    Feed({'M', 'M', 'V', 0x15, 2, 0});
    Feed({'M', 'X', 'M', 'V', 0x15, 3, 1, 0xEE});
    ASSERT_EQ(recorder.packets.size(), 3u);
    EXPECT_EQ(recorder.packets[0], (Bytes{'M', 'V', 0x15, 1, 0}));
    EXPECT_EQ(recorder.packets[1], (Bytes{'M', 'V', 0x15, 2, 0}));
    EXPECT_EQ(recorder.packets[2], (Bytes{'M', 'V', 0x15, 3, 1, 0xEE}));

    // A partial packet is dropped by ResetPhase.
    Feed({'M', 'V', 0x90, 4, 3, 0});
    parser.ResetPhase();
    Feed({'M', 'V', 0x90, 5, 0});
    ASSERT_EQ(recorder.packets.size(), 4u);
    EXPECT_EQ(recorder.packets[3], (Bytes{'M', 'V', 0x90, 5, 0}));
}

TEST_F(FramingFixture, OverlongPacketKeepsCapacityAndConsumesDeclaredLength) {
    Bytes stream{'M', 'V', 0x32, 9, 70};
    for (int i = 0; i < 70; ++i)
        stream.push_back(static_cast<uint8_t>(i));
    Feed(Bytes(stream.begin(), stream.end() - 1));
    EXPECT_TRUE(recorder.packets.empty());
    // The last declared byte is an "M": it must be consumed as data, not taken as a header.
    parser.ParseData('M');
    ASSERT_EQ(recorder.packets.size(), 1u);
    const Bytes& packet = recorder.packets[0];
    ASSERT_EQ(packet.size(), 64u);
    EXPECT_EQ(packet[4], 59);
    EXPECT_EQ(packet[5], 0);
    EXPECT_EQ(packet[63], 58);

    Feed({'V', 0x15, 1, 0}); // stray bytes after the packet start nothing
    EXPECT_EQ(recorder.packets.size(), 1u);
}

// The bulk path of ParseData must behave exactly as the byte-by-byte state machine.
TEST(CmdParser, ChunkedFeedingEqualsWholeFeeding) {
    std::mt19937 random(42);
    Bytes stream;
    for (int i = 0; i < 300; ++i) {
        const int junk = random() % 4;
        for (int k = 0; k < junk; ++k)
            stream.push_back("MVX\x00"[random() % 4]);
        const int length = random() % 80;
        Bytes packet{'M', 'V', static_cast<uint8_t>(random()), static_cast<uint8_t>(i),
                     static_cast<uint8_t>(length)};
        for (int k = 0; k < length; ++k)
            packet.push_back(static_cast<uint8_t>(random()));
        stream.insert(stream.end(), packet.begin(), packet.end());
    }

    Recorder whole, single, chunked;
    CKdCmdParser wholeParser(nullptr), singleParser(nullptr), chunkedParser(nullptr);
    wholeParser.SetDelegate(&whole);
    singleParser.SetDelegate(&single);
    chunkedParser.SetDelegate(&chunked);

    wholeParser.ParseData(stream.data(), stream.size());
    for (uint8_t byte : stream)
        singleParser.ParseData(byte);
    for (size_t at = 0; at < stream.size();) {
        const size_t n = std::min<size_t>(random() % 40, stream.size() - at);
        chunkedParser.ParseData(stream.data() + at, n);
        at += n;
    }

    EXPECT_GE(single.packets.size(), 250u);
    EXPECT_EQ(whole.packets, single.packets);
    EXPECT_EQ(chunked.packets, single.packets);
}

TEST(CmdParser, ResponseValidity) {
    CKdCmdPacket packet(0x95, 1);
    packet.Append(0);
    EXPECT_TRUE(CKdCmdParser::IsResponseValid(packet, -1));
    EXPECT_TRUE(CKdCmdParser::IsResponseValid(packet, 1));
    EXPECT_FALSE(CKdCmdParser::IsResponseValid(packet, 9));
    packet.mData[0] = 3;
    EXPECT_FALSE(CKdCmdParser::IsResponseValid(packet, -1));

    // Without its status byte a response is a refusal, whatever the buffer still holds.
    packet.mData[0] = 0;
    packet.mLength = 0;
    EXPECT_FALSE(CKdCmdParser::IsResponseValid(packet, -1));
    EXPECT_FALSE(CKdCmdParser::IsResponseValid(packet, 0));
}

void Feed(CKdPrmManager& session, const Bytes& bytes) {
    session.KdCmdParser()->ParseData(bytes.data(), bytes.size());
}

TEST(CmdParserDecoding, VersionResponses) {
    CKdPrmManager session;
    Feed(session, {'M', 'V', 0x90, 0x01, 0x01, 0x00}); // leaves a status byte 0 in the buffer
    Feed(session, {'M', 'V', 0x95, 0x02, 0x00});
    Feed(session, {'M', 'V', 0x95, 0x03, 0x09, 0x01, 1, 2, 1, 2, 1, 2, 1, 2});
    Feed(session, {'M', 'V', 0x95, 0x04, 0x08, 0x00, 1, 2, 1, 2, 1, 2, 1});
    Feed(session, {'M', 'V', 0x95, 0x05, 0x0A, 0x00, 1, 2, 1, 2, 1, 2, 1, 2, 0});
    EXPECT_EQ(session.Value(990, 0), 0);
    EXPECT_FALSE(session.IsOnline()); // no stream: the repeated request cannot be sent

    Feed(session,
         {'M', 'V', 0x95, 0x07, 0x09, 0x00, 0x02, 0x01, 0x34, 0x12, 0x00, 0x03, 0xFF, 0xFF});
    EXPECT_EQ(session.Value(990, 0), 0x0102);
    EXPECT_EQ(session.Value(992, 0), 0x1234);
    EXPECT_EQ(session.Value(994, 0), 0x0300);
    EXPECT_EQ(session.Value(996, 0), 0xFFFF);
    EXPECT_TRUE(session.IsOnline());
}

TEST(CmdParserDecoding, RefusedParameterAnswersAreNotDecoded) {
    ScriptedPeer peer; // answers the version request only
    ScriptedPeer::Device device;
    peer.SetScript([&](const ScriptedPeer::Packet& packet) {
        return packet.command == CKdCmdPacket::kCmdReqVersion ? device.Answer(packet)
                                                              : std::vector<Bytes>();
    });
    CKdPrmManager session;
    session.SetDeviceStream(peer.SessionStream());
    ASSERT_TRUE(session.RequestParameter(180, 2, 0)); // sequence 2
    ASSERT_TRUE(session.RequestParameter(218, 1, 0)); // sequence 3
    const int cutType = session.Value(218, 0);

    Feed(session, {'M', 'V', 0x90, 0x02, 0x03, 0x00, 0x00, 0x0F});
    EXPECT_EQ(session.Value(180, 0), 3840);
    // No status byte (the buffer still holds the previous status 0), or a non-zero status: the
    // answer is not decoded and the request stays open.
    Feed(session, {'M', 'V', 0x90, 0x03, 0x00});
    Feed(session, {'M', 'V', 0x90, 0x03, 0x02, 0x01, 0x01});
    EXPECT_EQ(session.Value(218, 0), cutType);
    EXPECT_EQ(session.ReqPrmAdrs(3), 218);
    session.SetDeviceStream(nullptr);
}

} // namespace
