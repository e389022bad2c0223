#include "Btldr_Bootload.h"
#include "Btldr_Packets.h"
#include "FakeBootloader.h"
#include "RowDataFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {
using Bytes = FakeBootloader::Bytes;
using RowDataFile::TempFile;

// The transport: packets go straight to the fake bootloader; its answer is read back, bytes that
// it didn't send read as 0.
FakeBootloader* gDevice = nullptr;
Bytes gAnswer;
int gWriteFailure = 0;
std::vector<std::pair<uint8_t, uint16_t>> gRows;

int Write(uint8_t* buffer, int size) {
    if (gWriteFailure) return gWriteFailure;
    gAnswer = gDevice->Handle(Bytes(buffer, buffer + size));
    return 0;
}
int Read(uint8_t* buffer, int size) {
    std::memset(buffer, 0, size);
    std::memcpy(buffer, gAnswer.data(), std::min<size_t>(size, gAnswer.size()));
    return 0;
}
void RowDone(uint8_t array, uint16_t row) { gRows.emplace_back(array, row); }
int Nothing() { return 0; }

class Bootload : public ::testing::Test {
protected:
    void SetUp() override {
        gDevice = &mDevice;
        gWriteFailure = 0;
        gRows.clear();
    }
    void TearDown() override { Btldr_SetCheckSumType(BTLDR_CHECKSUM_SUM); }

    unsigned Program(const std::string& content) {
        TempFile file(content);
        return Btldr_Program(file.Path(), &mComm, RowDone);
    }
    // The header for the device as it is built.
    static std::string Header(int checksumType = -1) {
        const FakeBootloader device;
        return RowDataFile::Header(device.siliconId, device.siliconRev, checksumType) + "\n";
    }

    FakeBootloader mDevice;
    Btldr_CommIf mComm{Nothing, Nothing, Read, Write, 64};
};

TEST_F(Bootload, ProgramsVerifiesAndActivates) {
    const Bytes data = RowDataFile::Pattern(128, 9);
    const std::string content = Header() + RowDataFile::Row(0, 5, data) + "\n" +
                                RowDataFile::Row(0, 6, RowDataFile::Pattern(20, 1)) + "\n";
    ASSERT_EQ(Program(content), 0u);
    // 128 bytes over 64-byte packets: 53 + 53 by Send Data, 22 with Program Row.
    const auto sends = mDevice.PacketsOf(0x37);
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0].size(), 53u + 7);
    EXPECT_EQ(sends[1].size(), 53u + 7);
    const auto programs = mDevice.PacketsOf(0x39);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].size(), 22u + 10);
    EXPECT_EQ((mDevice.rows[5]), data);
    EXPECT_EQ(mDevice.PacketsOf(0x32).size(), 1u); // the array's rows are asked for once
    EXPECT_EQ(mDevice.PacketsOf(0x3A).size(), 2u);
    EXPECT_EQ(mDevice.appActive, 1);
    EXPECT_TRUE(mDevice.exited);
    EXPECT_EQ(gRows, (std::vector<std::pair<uint8_t, uint16_t>>{{0, 5}, {0, 6}}));
    EXPECT_EQ(mDevice.checksumErrors, 0);
}

TEST_F(Bootload, CrcHeaderSwitchesEveryPacket) {
    mDevice.crc = true;
    ASSERT_EQ(Program(Header(1) + RowDataFile::Row(0, 1, {1, 2, 3}) + "\n"), 0u);
    EXPECT_EQ(mDevice.checksumErrors, 0);
    EXPECT_EQ(mDevice.appActive, 1);
}

TEST_F(Bootload, FailuresEndTheOperation) {
    const std::string row = RowDataFile::Row(0, 1, {1, 2, 3}) + "\n";
    struct Case {
        const char* name;
        std::function<void(FakeBootloader&)> setup;
        std::string content; // empty: header and one row
        unsigned expected;
        size_t rowsDone;
    };
    const Case cases[] = {
        {"other silicon ID", [](FakeBootloader& d) { d.siliconId ^= 1; }, "", 6, 0},
        {"other revision", [](FakeBootloader& d) { d.siliconRev ^= 1; }, "", 6, 0},
        {"bootloader 2.x", [](FakeBootloader& d) { d.version = 0x020000; }, "", 7, 0},
        {"active application", [](FakeBootloader& d) { d.appActive = 1; }, "", 12, 0},
        {"row verifies wrong", [](FakeBootloader& d) { d.corruptRow = 1; }, "", 8, 0},
        {"row outside its array", [](FakeBootloader& d) { d.arrays[0] = {2, 9}; }, "", 10, 0},
        {"application invalid", [](FakeBootloader& d) { d.appValidity = 1; }, "", 8, 1},
        {"program refused", [](FakeBootloader& d) { d.refuse[0x39] = 0x03; }, "", 0x4003, 0},
        {"trailing empty line", [](FakeBootloader&) {}, "H" + row + "\n", 3, 0},
    };
    for (const Case& c : cases) {
        mDevice = FakeBootloader();
        c.setup(mDevice);
        gRows.clear();
        std::string content = c.content.empty() ? "H" + row : c.content;
        content.replace(0, 1, Header());
        EXPECT_EQ(Program(content), c.expected) << c.name;
        EXPECT_EQ(gRows.size(), c.rowsDone) << c.name;
        EXPECT_TRUE(mDevice.exited) << c.name;
        if (c.expected != 0) {
            EXPECT_EQ(mDevice.PacketsOf(0x36).size(), 0u) << c.name;
        }
    }
}

TEST_F(Bootload, RowOutsideTheFlashStopsBeforeAnyWrite) {
    const std::string content = Header() + RowDataFile::Row(0, 1, {1}) + "\n" +
                                RowDataFile::Row(1, 2, {2}) + "\n" + RowDataFile::Row(0, 20, {3});
    mDevice.arrays[0] = {0, 9};
    mDevice.arrays[1] = {0, 9};
    EXPECT_EQ(Program(content), 10u);
    TempFile file(content);
    EXPECT_EQ(Btldr_Erase(file.Path(), &mComm, RowDone), 10u);
    for (uint8_t command : {0x37, 0x39, 0x34, 0x3A})
        EXPECT_TRUE(mDevice.PacketsOf(command).empty()) << int(command);
    EXPECT_TRUE(gRows.empty());
    EXPECT_TRUE(mDevice.exited);
    EXPECT_EQ(mDevice.PacketsOf(0x32).size(), 4u); // both arrays, once per operation
}

TEST_F(Bootload, HeaderOnlyFileDependsOnTheApplicationStatus) {
    ASSERT_EQ(Program(Header()), 0u);
    EXPECT_EQ(mDevice.PacketsOf(0x39).size(), 0u);
    EXPECT_EQ(mDevice.appActive, 1);

    mDevice = FakeBootloader();
    mDevice.appValidity = 1;
    EXPECT_EQ(Program(Header()), 8u);

    // A bootloader that doesn't know Get Application Status: nothing to activate.
    mDevice = FakeBootloader();
    mDevice.refuse[0x33] = BTLDR_STATUS_UNKNOWN_CMD;
    EXPECT_EQ(Program(Header()), 0u);
    EXPECT_EQ(mDevice.PacketsOf(0x36).size(), 0u);
}

TEST_F(Bootload, TransportFailureSendsNothingMore) {
    gWriteFailure = 0x17;
    EXPECT_EQ(Program(Header()), 0x2000u | 0x17);
    EXPECT_TRUE(mDevice.packets.empty());
    gWriteFailure = 0;
    // The next operation starts afresh.
    EXPECT_EQ(Program(Header()), 0u);
}

TEST_F(Bootload, FileErrorsBeforeTheDevice) {
    EXPECT_EQ(Btldr_EndBootloadOperation(), 0u); // nothing started: nothing sent
    EXPECT_EQ(Btldr_Program("/nonexistent/x.cyacd", &mComm, RowDone), 1u);
    EXPECT_EQ(Program(""), 2u);
    EXPECT_EQ(Program("2E12\n"), 3u);
    EXPECT_TRUE(mDevice.packets.empty());
}

TEST_F(Bootload, EraseAndVerifyActions) {
    const std::string content = Header() + RowDataFile::Row(0, 1, {1, 2, 3}) + "\n";
    ASSERT_EQ(Program(content), 0u);
    TempFile file(content);
    mDevice.appActive = 1; // verify runs on an active application
    EXPECT_EQ(Btldr_Verify(file.Path(), &mComm, RowDone), 0u);
    EXPECT_EQ(mDevice.PacketsOf(0x31).size(), 1u);
    mDevice.corruptRow = 1;
    EXPECT_EQ(Btldr_Verify(file.Path(), &mComm, RowDone), 8u);
    mDevice.appActive = 0;
    EXPECT_EQ(Btldr_Erase(file.Path(), &mComm, RowDone), 0u);
    EXPECT_TRUE(mDevice.rows.empty());
}

TEST_F(Bootload, ArraysAbove63AreNotAskedFor) {
    EXPECT_EQ(Btldr_ValidateRow(64, 0), 9u);
    ASSERT_EQ(Program(Header() + RowDataFile::Row(64, 1, {1}) + "\n"), 0u);
    EXPECT_EQ(mDevice.PacketsOf(0x32).size(), 0u);
    EXPECT_EQ(gRows.size(), 1u);
}

} // namespace
