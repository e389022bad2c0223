#include "BootloaderPeer.h"
#include "CKdUpdaterUSB.h"
#include "LPollRunLoop.h"
#include "RowDataFile.h"
#include "ScriptedPeer.h"
#include "UpdateNotes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {
using Bytes = ScriptedPeer::Bytes;
using RowDataFile::TempFile;

constexpr CKdUpdaterUSB::_SWaits kWaits{3, 50, 300};

// A switcher whose serial link is the scripted peer's stream.
class PeerDevice : public CKdUsbDevice {
public:
    PeerDevice(LStream* stream, unsigned location)
        : CKdUsbDevice(1, Info(location), "peer"), mPeerStream(stream) {}
    LStream* CreateStream() override {
        if (!mPeerStream) return nullptr;
        mPeerStream->RetainObject();
        return std::exchange(mPeerStream, nullptr); // one attachment
    }

private:
    static _SDeviceInfo Info(unsigned location) {
        _SDeviceInfo info;
        info.vendorID = 0x1209, info.productID = 0x4B31, info.locationID = location;
        return info;
    }
    LStream* mPeerStream;
};

class UsbControllerUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        LRunLoop::SetMain(&mLoop);
        mLoopThread = std::thread([this] { mLoop.Run(); });
        mDevice = new PeerDevice(mSwitcher.SessionStream(), BootloaderPeer::kLocation);
        mDevice->ReleaseObject();
    }
    void TearDown() override {
        mLoop.Stop();
        mLoopThread.join();
        LRunLoop::SetMain(nullptr);
    }

    // Runs an update of content as the window does: stream lent, update thread, end notification.
    int Update(const std::string& content, CKdUsbDevice* device, const char* suffix = ".cyacd") {
        TempFile file(content, suffix);
        LObjPtr_<CKdUpdaterUSB> updater = new CKdUpdaterUSB(file.Path(), device, kWaits);
        updater->ReleaseObject();
        if (device) {
            EXPECT_TRUE(updater->BorrowDeviceStream(device));
        }
        updater->StartUpdateThread();
        const int result = mNotes.WaitForEnd(20000);
        mFileProblem = updater->FileProblem();
        return result;
    }
    int Update(const std::string& content) { return Update(content, mDevice); }

    static std::string Header(uint32_t siliconId = FakeBootloader().siliconId) {
        return RowDataFile::Header(siliconId, FakeBootloader().siliconRev) + "\n";
    }
    static std::string Rows(int count) {
        std::string rows;
        for (int row = 0; row < count; ++row)
            rows += RowDataFile::Row(0, row, RowDataFile::Pattern(128, row)) + "\n";
        return rows;
    }

    LPollRunLoop mLoop;
    std::thread mLoopThread;
    ScriptedPeer mSwitcher;
    BootloaderPeer mBootloader;
    LObjPtr_<PeerDevice> mDevice;
    UpdateNotes mNotes;
    std::string mFileProblem; // of the last update
};

TEST_F(UsbControllerUpdate, StartsTheBootloaderAndProgramsEveryRow) {
    mBootloader.Publish();
    ASSERT_EQ(Update(Header() + Rows(10)), 0);
    // The start command went out once, without a wait, and the link was closed.
    EXPECT_EQ(mSwitcher.WaitForPackets(1), (std::vector<Bytes>{{'M', 'V', 0x30, 1, 0}}));
    EXPECT_EQ(mDevice->PrmManager(), nullptr);
    for (int wait = 0; wait < 100 && !mBootloader.With([](FakeBootloader& d) { return d.exited; });
         ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // the exit isn't answered
    mBootloader.With([](FakeBootloader& d) {
        EXPECT_EQ(d.rows.size(), 10u);
        EXPECT_EQ(d.appActive, 1);
        EXPECT_TRUE(d.exited);
        return 0;
    });
    // 11 non-empty lines, the header among them.
    EXPECT_EQ(mNotes.Progress(),
              (std::vector<int>{90, 181, 272, 363, 454, 545, 636, 727, 818, 909}));
    const auto notes = mNotes.Notes();
    EXPECT_EQ(notes.front(), (UpdateNotes::Note{0, 0}));
    EXPECT_EQ(notes[1], (UpdateNotes::Note{2, 0}));
}

TEST_F(UsbControllerUpdate, BadFilesLeaveTheSwitcherUntouched) {
    mBootloader.Publish();
    std::string badSum = Rows(9) + Rows(1);
    badSum[badSum.size() - 2] ^= 1; // the last row's checksum digit
    struct Case {
        std::string content;
        std::string problem; // the end of the file's problem
        const char* suffix = ".cyacd";
    };
    const Case cases[] = {
        {"", "is empty"},
        {"\r\n\n", "line 1: too short, or an odd number of hex digits"},
        {Header(), "line 2: no rows after the header"},
        {Header() + Rows(2) + "\n", "line 4: too short, or an odd number of hex digits"},
        {"2E1230\n" + Rows(1), "line 1: too short, or an odd number of hex digits"},
        {Header() + "00" + Rows(1).substr(1), "line 2: the row does not begin with ':'"},
        {Header() + Rows(1).substr(0, 13) + "\n",
         "line 2: the row's length field does not match its data"},
        {Header() + badSum, "line 11: the row's checksum does not add up"},
        {Header() + ":" + std::string(10000, 'A') + "\n", "line 2: longer than 766 characters"},
        {std::string("\x13\xff\x00garbage\n", 11), "line 1: a character that is not a hex digit"},
        {Header() + Rows(1), "not a .cyacd file", ".bin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Update(c.content, mDevice, c.suffix), CKdUpdater::kResultFileError) << c.problem;
        EXPECT_TRUE(mFileProblem.ends_with(c.problem)) << mFileProblem;
        EXPECT_TRUE(mSwitcher.TakePackets().empty()) << c.problem;
        mNotes.Clear();
        mDevice->ReturnStream();
    }
    EXPECT_TRUE(mBootloader.With([](FakeBootloader& d) { return d.packets.empty(); }));
}

TEST_F(UsbControllerUpdate, BootloaderRefusalsAreDeviceErrors) {
    mBootloader.Publish();
    mBootloader.With([](FakeBootloader& d) { return d.appActive = 1; });
    EXPECT_EQ(Update(Header() + Rows(1)), 2);
    EXPECT_TRUE(mBootloader.With([](FakeBootloader& d) { return d.rows.empty(); }));
}

TEST_F(UsbControllerUpdate, WrongSiliconIdIsADeviceError) {
    mBootloader.Publish();
    EXPECT_EQ(Update(Header(0x12345678) + Rows(1)), 2);
    EXPECT_TRUE(mBootloader.With([](FakeBootloader& d) { return d.rows.empty(); }));
}

TEST_F(UsbControllerUpdate, NoBootloaderOrNoDevice) {
    EXPECT_EQ(Update(Header() + Rows(1)), 2); // nothing at the location
    EXPECT_EQ(mSwitcher.WaitForPackets(1).size(), 1u);
    EXPECT_EQ(Update(Header() + Rows(1), nullptr), 2);
}

TEST_F(UsbControllerUpdate, BootloaderLostMidwayEndsInTime) {
    mBootloader.Publish();
    mBootloader.dieAfterPackets = 8;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Update(Header() + Rows(5)), 2);
    // One answer wait and the exit, not one wait per row.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(UsbControllerFile, NonEmptyLinesAreCounted) {
    auto count = [](const char* path) {
        LObjPtr_<CKdUpdaterUSB> updater = new CKdUpdaterUSB(path, nullptr);
        updater->ReleaseObject();
        return updater->CalcNumOfLines();
    };
    // A line of more than one 128-byte block is one line.
    const std::pair<std::string, int> cases[] = {
        {"", 0},
        {"\r\n\n\r", 0},
        {"a", 1},
        {"a\r\nb\r\n", 2},
        {"a\n\n\nb", 2},
        {"\ra\rb\r", 2},
        {"a\r\n\r\nb\n", 2},
        {std::string(300, 'a') + "\n" + std::string(5, 'b'), 2},
    };
    for (const auto& [content, lines] : cases)
        EXPECT_EQ(count(TempFile(content).Path()), lines) << testing::PrintToString(content);
    EXPECT_EQ(count("/nonexistent/usb.cyacd"), 0);
}

TEST_F(UsbControllerUpdate, LoanKeepsTheSessionOffTheLink) {
    mSwitcher.SetScript(
        [](const ScriptedPeer::Packet& packet) { return ScriptedPeer::Device().Answer(packet); });
    ASSERT_NE(mDevice->PrmManager(), nullptr);
    mSwitcher.TakePackets();
    LStream* stream = mDevice->LendStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(mDevice->PrmManager(), nullptr);
    EXPECT_EQ(mDevice->DeviceStream(), nullptr);
    mDevice->RestoreDeviceStream();
    EXPECT_EQ(mDevice->LendStream(), nullptr); // one loan at a time
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(mSwitcher.TakePackets().empty()); // the session sent nothing meanwhile
    mDevice->ReturnStream();
    EXPECT_NE(mDevice->PrmManager(), nullptr);
}

} // namespace
