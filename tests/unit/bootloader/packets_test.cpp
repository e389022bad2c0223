#include "Btldr_Packets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

class BootloaderPackets : public ::testing::Test {
protected:
    void TearDown() override { Btldr_SetCheckSumType(BTLDR_CHECKSUM_SUM); }
};

TEST_F(BootloaderPackets, EnterBootloaderWithSummation) {
    uint8_t buffer[BTLDR_MAX_PACKET_SIZE];
    unsigned long size = 0, answer = 0;
    ASSERT_EQ(Btldr_CreateEnterBootLoaderCmd(buffer, &size, &answer), 0u);
    EXPECT_EQ(Bytes(buffer, buffer + size), (Bytes{0x01, 0x38, 0x00, 0x00, 0xC7, 0xFF, 0x17}));
    EXPECT_EQ(answer, 15u);
}

TEST_F(BootloaderPackets, CrcIsX25SentHighByteFirst) {
    Btldr_SetCheckSumType(BTLDR_CHECKSUM_CRC);
    const uint16_t value = Btldr_ComputeChecksum(reinterpret_cast<const uint8_t*>("123456789"), 9);
    EXPECT_EQ(value & 0xFF, 0x90); // written first
    EXPECT_EQ(value >> 8, 0x6E);
    // Another type number falls back to summation.
    Btldr_SetCheckSumType(7);
    const uint8_t enter[] = {0x01, 0x38, 0x00, 0x00};
    EXPECT_EQ(Btldr_ComputeChecksum(enter, 4), 0xFFC7);
}

TEST_F(BootloaderPackets, EveryCommandHasItsCodeDataAndSizes) {
    static const uint8_t row[] = {0xAA, 0xBB};
    using Build = unsigned (*)(uint8_t*, unsigned long*, unsigned long*);
#define WITH(call) [](uint8_t* b, unsigned long* s, unsigned long* a) { return call; }
    const struct {
        Build build;
        Bytes head; // start byte, code, length, data
        unsigned long answer;
    } cases[] = {
        {Btldr_CreateVerifyChecksumCmd, {0x01, 0x31, 0, 0}, 8},
        {WITH(Btldr_CreateGetFlashSizeCmd(3, b, s, a)), {0x01, 0x32, 1, 0, 3}, 11},
        {WITH(Btldr_CreateGetAppStatusCmd(1, b, s, a)), {0x01, 0x33, 1, 0, 1}, 9},
        {WITH(Btldr_CreateEraseRowCmd(2, 0x1234, b, s, a)), {0x01, 0x34, 3, 0, 2, 0x34, 0x12}, 7},
        {WITH(Btldr_CreateSetActiveAppCmd(0, b, s, a)), {0x01, 0x36, 1, 0, 0}, 7},
        {WITH(Btldr_CreateSendDataCmd(row, 2, b, s, a)), {0x01, 0x37, 2, 0, 0xAA, 0xBB}, 7},
        {Btldr_CreateEnterBootLoaderCmd, {0x01, 0x38, 0, 0}, 15},
        {WITH(Btldr_CreateProgramRowCmd(1, 0x0102, row, 2, b, s, a)),
         {0x01, 0x39, 5, 0, 1, 0x02, 0x01, 0xAA, 0xBB},
         7},
        {WITH(Btldr_CreateVerifyRowCmd(0, 0x00FF, b, s, a)), {0x01, 0x3A, 3, 0, 0, 0xFF, 0x00}, 8},
        {Btldr_CreateExitBootLoaderCmd, {0x01, 0x3B, 1, 0, 0}, 0},
    };
#undef WITH
    for (const auto& c : cases) {
        const std::string name = testing::PrintToString(c.head);
        uint8_t buffer[BTLDR_MAX_PACKET_SIZE];
        unsigned long size = 0, answer = 99;
        ASSERT_EQ(c.build(buffer, &size, &answer), 0u) << name;
        ASSERT_EQ(size, c.head.size() + 3) << name;
        EXPECT_EQ(Bytes(buffer, buffer + c.head.size()), c.head) << name;
        uint16_t sum = 0;
        for (uint8_t byte : c.head)
            sum += byte;
        EXPECT_EQ(buffer[size - 3] | buffer[size - 2] << 8, uint16_t(-sum)) << name;
        EXPECT_EQ(buffer[size - 1], 0x17) << name;
        EXPECT_EQ(answer, c.answer) << name;
    }
}

TEST_F(BootloaderPackets, CheckerOrderSizeThenStatusThenFraming) {
    uint8_t status = 0xEE;
    struct Case {
        Bytes answer;
        unsigned expected;
    };
    const Case cases[] = {
        {{0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x17}, 0},       // checksum isn't checked
        {{0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x17, 0x00}, 3}, // size before status
        {{0x99, 0x05, 0x42, 0x00, 0x00, 0x00, 0x00}, 0x4005},  // status before framing
        {{0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x17}, 4},       // start byte
        {{0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x17}, 4},       // length field
        {{0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x17}, 4},       // length field, high byte
        {{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x18}, 4},       // end byte
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 4},       // nothing arrived (zeros)
    };
    for (const Case& c : cases)
        EXPECT_EQ(Btldr_ParseDefaultCmdResult(c.answer.data(), c.answer.size(), &status),
                  c.expected)
            << testing::PrintToString(c.answer);
    const Bytes refused = {0x99, 0x05, 0x42, 0x00, 0x00, 0x00, 0x00};
    Btldr_ParseProgramRowCmdResult(refused.data(), refused.size(), &status);
    EXPECT_EQ(status, 0x05);
}

TEST_F(BootloaderPackets, AnswerDataFieldsAreLittleEndian) {
    uint8_t status = 1;
    const Bytes flash = {0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x12, 0x34, 0x17};
    uint16_t first = 9, last = 9;
    EXPECT_EQ(Btldr_ParseGetFlashSizeCmdResult(flash.data(), flash.size(), &first, &last, &status),
              0u);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 255);
    EXPECT_EQ(status, 0);

    const Bytes enter = {0x01, 0x00, 0x08, 0x00, 0x69, 0x30, 0x12, 0x2E,
                         0x11, 0x14, 0x02, 0x01, 0x00, 0x00, 0x17};
    uint32_t silicon = 0, version = 0;
    uint8_t revision = 0;
    EXPECT_EQ(Btldr_ParseEnterBootLoaderCmdResult(enter.data(), enter.size(), &silicon, &revision,
                                                  &version, &status),
              0u);
    EXPECT_EQ(silicon, 0x2E123069u);
    EXPECT_EQ(revision, 0x11);
    EXPECT_EQ(version, 0x010214u);

    const Bytes app = {0x01, 0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x17};
    uint8_t valid = 9, active = 9;
    EXPECT_EQ(Btldr_ParseGetAppStatusCmdResult(app.data(), app.size(), &valid, &active, &status),
              0u);
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(active, 1);

    const Bytes row = {0x01, 0x00, 0x01, 0x00, 0x5A, 0x00, 0x00, 0x17};
    uint8_t stored = 0;
    EXPECT_EQ(Btldr_ParseVerifyRowCmdResult(row.data(), row.size(), &stored, &status), 0u);
    EXPECT_EQ(stored, 0x5A);
    EXPECT_EQ(Btldr_ParseVerifyChecksumCmdResult(row.data(), row.size(), &stored, &status), 0u);
}

} // namespace
