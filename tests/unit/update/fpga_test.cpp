#include "CKdUpdaterFPGA.h"
#include "RowDataFile.h"
#include "ScriptedPeer.h"
#include "UpdateNotes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {
using Bytes = ScriptedPeer::Bytes;
using RowDataFile::TempFile;

// Short waits keep the tests fast; their ratio to the peer's delays is what matters.
constexpr CKdUpdaterFPGA::_SWaits kWaits{2000, 200};

class MainFirmwareUpdate : public ::testing::Test {
protected:
    // The switcher answers each packet with status 0 unless the script says otherwise.
    void SetUp() override {
        mPeer.SetScript([this](const ScriptedPeer::Packet& packet) -> std::vector<Bytes> {
            const int delay = packet.command == 0x31 ? eraseDelayMs.load() : blockDelayMs.load();
            if (delay) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            const uint8_t status = packet.command == failCommand ? 1 : 0;
            return {ScriptedPeer::Response(packet.command | 0x80, packet.sequence, {status})};
        });
    }

    int Update(const std::string& content) { return UpdateFrom(TempFile(content, ".bin").Path()); }
    int UpdateFrom(const char* path) {
        LObjPtr_<CKdUpdaterFPGA> updater = new CKdUpdaterFPGA(path, kWaits);
        updater->ReleaseObject();
        updater->SetDeviceStream(mPeer.SessionStream());
        return updater->ExecUpdate();
    }

    std::atomic<int> eraseDelayMs{0};
    std::atomic<int> blockDelayMs{0};
    int failCommand = -1;
    ScriptedPeer mPeer;
    UpdateNotes mNotes;
};

TEST_F(MainFirmwareUpdate, StopRequestEndsBeforeTheNextBlock) {
    const TempFile file(std::string(59 * 10, 'k'), ".bin");
    LObjPtr_<CKdUpdaterFPGA> updater = new CKdUpdaterFPGA(file.Path(), kWaits);
    updater->ReleaseObject();
    updater->SetDeviceStream(mPeer.SessionStream());
    mPeer.SetScript([&](const ScriptedPeer::Packet& packet) -> std::vector<Bytes> {
        if (packet.command == 0x32 && packet.sequence == 4) updater->RequestStop();
        return {ScriptedPeer::Response(packet.command | 0x80, packet.sequence, {0})};
    });
    EXPECT_EQ(updater->ExecUpdate(), CKdUpdater::kResultStopped);
    const auto packets = mPeer.TakePackets();
    ASSERT_EQ(packets.size(), 4u); // the erase and three blocks; no finish
    EXPECT_EQ(packets.back()[2], 0x32);
}

TEST_F(MainFirmwareUpdate, ErasesWritesBlocksAndFinishesWithTheSum) {
    const Bytes image = RowDataFile::Pattern(118, 5);
    ASSERT_EQ(Update(std::string(image.begin(), image.end())), 0);
    const auto packets = mPeer.TakePackets();
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0], (Bytes{'M', 'V', 0x31, 1, 0}));
    EXPECT_EQ(packets[1],
              ScriptedPeer::Response(0x32, 2, Bytes(image.begin(), image.begin() + 59)));
    EXPECT_EQ(packets[2], ScriptedPeer::Response(0x32, 3, Bytes(image.begin() + 59, image.end())));
    uint8_t sum = 0;
    for (uint8_t byte : image)
        sum += byte;
    EXPECT_EQ(packets[3], ScriptedPeer::Response(0x33, 4, {sum}));
    EXPECT_EQ(mNotes.Notes(),
              (std::vector<UpdateNotes::Note>{{0, 0}, {1, 0}, {2, 0}, {3, 500}, {3, 1000}}));
}

TEST_F(MainFirmwareUpdate, ProgressOfAShortLastBlockAndTheFinishByte) {
    ASSERT_EQ(Update(std::string(60, '\x01')), 0);
    const auto packets = mPeer.TakePackets();
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[2].size(), 5u + 1);
    EXPECT_EQ(mNotes.Progress(), (std::vector<int>{984, 1000}));
    // 18 x 0xFF + 0x46 = 0x1234: the low byte is sent.
    ASSERT_EQ(Update(std::string(18, '\xFF') + "\x46"), 0);
    EXPECT_EQ(mPeer.TakePackets().back(), ScriptedPeer::Response(0x33, 3, {0x34}));
}

TEST_F(MainFirmwareUpdate, ProgressIsSentOnlyWhenItChanges) {
    ASSERT_EQ(Update(std::string(59 * 1500, '\x02')), 0); // 1500 blocks
    const std::vector<int> progress = mNotes.Progress();
    EXPECT_EQ(progress.size(), 1000u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end(), std::less_equal<int>()));
    EXPECT_EQ(progress.back(), 1000);
}

TEST_F(MainFirmwareUpdate, FileErrorsTouchNothing) {
    EXPECT_EQ(Update(""), 1);
    EXPECT_EQ(UpdateFrom("/nonexistent/main.bin"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(mPeer.TakePackets().empty());
    EXPECT_EQ(mNotes.Notes(), (std::vector<UpdateNotes::Note>{{0, 0}, {0, 0}}));
}

TEST_F(MainFirmwareUpdate, SlowEraseIsWaitedForButASlowBlockTimesOut) {
    eraseDelayMs = 1000; // half the erase wait
    blockDelayMs = 400;  // twice the block wait
    EXPECT_EQ(Update(std::string(100, 'x')), 3);
    EXPECT_EQ(mPeer.TakePackets().size(), 2u); // erase, first block
}

TEST_F(MainFirmwareUpdate, FailureStatusEndsAtThatPacket) {
    failCommand = 0x32;
    EXPECT_EQ(Update(std::string(200, 'x')), 4);
    EXPECT_EQ(mPeer.TakePackets().size(), 2u);
    failCommand = 0x31;
    EXPECT_EQ(Update(std::string(200, 'x')), 4);
    EXPECT_EQ(mPeer.TakePackets().size(), 1u);
}

TEST_F(MainFirmwareUpdate, AnswerWithoutStatusIsAFailure) {
    mPeer.SetScript([](const ScriptedPeer::Packet& p) -> std::vector<Bytes> {
        return {ScriptedPeer::Response(p.command | 0x80, p.sequence, {})};
    });
    EXPECT_EQ(Update("abc"), 4);
}

TEST_F(MainFirmwareUpdate, LostLinkFailsWithoutWaitingOut) {
    // The switcher goes away at the first block.
    mPeer.SetScript([this](const ScriptedPeer::Packet& packet) -> std::vector<Bytes> {
        if (packet.command == 0x32) shutdown(mPeer.PeerDescriptor(), SHUT_RDWR);
        return {ScriptedPeer::Response(packet.command | 0x80, packet.sequence, {0})};
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Update(std::string(100, 'x')), 4);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

} // namespace
