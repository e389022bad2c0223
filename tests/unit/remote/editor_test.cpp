#include "CKdRemoteEditor.h"
#include "LPrmConverters.h"
#include "RemoteSession.h"

#include "CKdPanelOperation.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

// The event number of a dial event on the shown identifier: selection mode or edit mode,
// coarse or not, signed step count.
int32_t Dial(int shown, bool selecting, bool coarse, int count) {
    return 0x59000 | shown << 20 | selecting << 9 | coarse << 8 | (count & 0xFF);
}

struct Editor : RemoteSession {
    // Runs one dial event; the reply line, or "-" when none was sent.
    std::string Turn(int shown, bool selecting, bool coarse, int count) {
        std::string reply = "-";
        CKdRemoteEditor editor([&](const char* text) { reply = text; });
        editor.Edit(session, Dial(shown, selecting, coarse, count));
        return reply;
    }
    std::string Select(int shown, int count, bool coarse = false) {
        return Turn(shown, true, coarse, count);
    }
    std::string Change(int shown, int count, bool coarse = false) {
        return Turn(shown, false, coarse, count);
    }
};

TEST(RemoteEditTable, RowsRunFrom102To1000InIdentifierOrder) {
    const auto table = CKdRemoteEditor::RemoteEditPrmAddrLenTbl();
    ASSERT_EQ(table.size(), 168u);
    EXPECT_EQ(table.front().mPrmID, 102);
    EXPECT_EQ(table.back().mPrmID, 1000);
    for (size_t k = 1; k < table.size(); ++k)
        EXPECT_LT(table[k - 1].mPrmID, table[k].mPrmID) << table[k].mName;

    struct Lookup {
        int target, down, found;
    };
    const Lookup lookups[] = {
        {0, 0, 102},   {0, 1, 102},   {102, 1, 102},   {103, 0, 103},   {106, 0, 112},
        {106, 1, 105}, {999, 0, 999}, {1001, 0, 1000}, {5000, 1, 1000}, {443, 0, 970},
        {443, 1, 442}, {-7, 0, 102},  {-7, 1, 102},
    };
    for (const Lookup& lookup : lookups)
        EXPECT_EQ(CKdRemoteEditor::GetRemoteEditPrm(lookup.target, lookup.down).mPrmID,
                  lookup.found)
            << lookup.target << " down " << lookup.down;
}

TEST_F(Editor, SelectionStopsAtBothEndsAndKeepsTheValue) {
    device.memory[102] = 1;
    EXPECT_EQ(Select(102, -1), "102:Main In H Flip:On:100");
    EXPECT_EQ(Select(1000, +1), "1000:Parameter Save:Push to execute:0");
    // Selection writes back the value it read, so the switcher keeps its setting.
    EXPECT_EQ(Sent(), (Wires{Request(102, 1), Set(102, {1}), Request(1000, 1)}));

    device.memory[105] = 7;
    EXPECT_EQ(Select(104, +1).substr(0, 19), "105:Main In Format:");
    EXPECT_EQ(Select(104, +2), "112:Sub In H Flip:Off:0"); // s = 4: first row at or above 108
    EXPECT_EQ(Select(104, +1, true),                       // s = 10
              "114:Sub In Still:" + std::string(gPrmConverterInStill.PrmValueToString(0)) + ":0");
    EXPECT_EQ(Select(115, -2).substr(0, 4), "105:"); // s = 4 down: last row at or below 111
    EXPECT_EQ(Sent(), (Wires{Request(105, 1), Request(112, 1), Set(112, {0}), Request(114, 1),
                             Set(114, {0}), Request(105, 1)}));
}

TEST_F(Editor, EditModeChangesClampsAndWritesByKind) {
    Store(182, 1900, 2);
    EXPECT_EQ(Change(182, +5), "182:[1] ROI H Position:1920pix:100");
    Store(184, -1000, 2);
    EXPECT_EQ(Change(184, -10), "184:[1] ROI V Position:-1080line:0");
    device.memory[211] = 5;
    EXPECT_EQ(Change(211, -3), "211:Auto Transition Time:0.0sec:0");
    device.memory[188] = 0xFD; // -3
    EXPECT_EQ(Change(188, -2), "188:[1] ROI Move Pan:-7pix:28");
    Store(412, 1000, 2);
    EXPECT_EQ(Change(412, 0), "412:Sync H Phase:4000pix:72"); // shows 4·v, the percentage of v
    Store(180, 768, 2);
    EXPECT_EQ(Change(180, +1, true), "180:[1] ROI Size:778pix:0");
    EXPECT_EQ(Sent(), (Wires{Request(182, 2), Set(182, {0x80, 0x07}), Request(184, 2),
                             Set(184, {0xC8, 0xFB}), Request(211, 1), Set(211, {0}),
                             Request(188, 1), Set(188, {0xF9}), Request(412, 2),
                             Set(412, {0xE8, 0x03}), Request(180, 2), Set(180, {0x0A, 0x03})}));
    EXPECT_EQ(session.Value(182, 0), 1920);
    EXPECT_EQ(session.Value(184, 0), -1080);
}

TEST_F(Editor, EditModeActsOnlyOnAnExactRow) {
    // 998 is "System Reboot", which has no row; the rows above are "Factory Reset" and
    // "Parameter Save". Below the first row and between rows nothing is read, written or replied.
    const int rowless[] = {998, 997, 106, 443, 1001, 1023, 0, 101};
    for (int shown : rowless) {
        EXPECT_EQ(Change(shown, +1, true), "-") << shown;
        EXPECT_EQ(Change(shown, -5), "-") << shown;
    }
    EXPECT_EQ(Sent(), Wires());
    EXPECT_EQ(CKdRemoteEditor::FindRemoteEditPrm(998), nullptr);
    ASSERT_NE(CKdRemoteEditor::FindRemoteEditPrm(999), nullptr);
    EXPECT_STREQ(CKdRemoteEditor::FindRemoteEditPrm(999)->mName, "Factory Reset");

    // Selection keeps its search from an identifier without a row.
    EXPECT_EQ(Select(997, 0), "999:Factory Reset:Push to execute:0");
    EXPECT_EQ(Sent(), (Wires{Request(999, 1)}));
}

TEST_F(Editor, LargestTurnsSaturate) {
    // n = 127 coarse is s = 161290, n = -128 coarse 163840: far beyond every range and row.
    Store(182, 1900, 2);
    EXPECT_EQ(Change(182, 127, true), "182:[1] ROI H Position:1920pix:100");
    EXPECT_EQ(Change(182, -128, true), "182:[1] ROI H Position:-1920pix:0");
    EXPECT_EQ(Select(102, 127, true).substr(0, 5), "1000:");
    EXPECT_EQ(Select(1000, -128, true).substr(0, 4), "102:");
    EXPECT_EQ(Sent(),
              (Wires{Request(182, 2), Set(182, {0x80, 0x07}), Request(182, 2),
                     Set(182, {0x80, 0xF8}), Request(1000, 1), Request(102, 1), Set(102, {0})}));
}

TEST_F(Editor, ExecuteHdcpOffAndUnsupportedRows) {
    EXPECT_EQ(Change(999, +1), "999:Factory Reset:Push to execute:0");
    EXPECT_EQ(Change(999, +1, true), "999:Factory Reset:Push to execute:100");
    device.memory[403] = 2;
    EXPECT_EQ(Change(403, +1), "403:System HDCP Mode:Cancel:100");
    device.memory[403] = 0;
    EXPECT_EQ(Change(403, +3), "403:System HDCP Mode:On:50");
    device.memory[105] = 0xFF;
    EXPECT_EQ(Change(105, +1), "105:Main In Format:Unsupport:0");
    device.memory[218] = 0xFF; // "Off" on the link
    EXPECT_EQ(Change(218, 0), "218:Cut Type:Off:0");
    EXPECT_EQ(Change(218, +1).substr(0, 13), "218:Cut Type:");
    EXPECT_EQ(Sent(), (Wires{Request(999, 1), Request(999, 1), Set(999, {1}), Request(403, 1),
                             Request(403, 1), Set(403, {1}), Request(105, 1), Request(218, 1),
                             Set(218, {0xFF}), Request(218, 1), Set(218, {0})}));
}

TEST_F(Editor, ReadOnlyKindsShowBytesTextAndVersion) {
    const uint8_t mac[] = {0x02, 0x4B, 0x44, 0x00, 0xA1, 0xFF};
    std::copy(std::begin(mac), std::end(mac), device.memory + 970);
    EXPECT_EQ(Change(970, +5), "970:MAC Adress:02.4B.44.00.A1.FF:100");
    const char serial[] = "KD12345678";
    std::copy(serial, serial + 10, device.memory + 980);
    EXPECT_EQ(Change(980, 0), "980:Serial Number:KD12345678:100");
    device.memory[984] = 0;
    EXPECT_EQ(Select(980, 0), "980:Serial Number:KD12:100");
    Store(990, 0x0201, 2);
    EXPECT_EQ(Change(990, +1), "990:Soft Version:Version 01.02:100");
    device.memory[134] = 2;
    EXPECT_EQ(Change(134, -1).substr(0, 17), "134:Still Status:");
    EXPECT_EQ(Sent(), (Wires{Request(970, 6), Request(980, 10), Request(980, 10), Request(990, 2),
                             Request(134, 1)}));
}

TEST_F(Editor, NoAnswerMeansNoWriteAndNoReply) {
    answering = false;
    EXPECT_EQ(Change(175, +1), "-");
    EXPECT_EQ(Sent(), (Wires{Request(175, 1)}));
}

// A switcher that never answers on a line that brings a noise byte every 100 ms: each chunk
// restarts the session's wait, yet a read-back may hold the event loop for 1000 ms at most.
TEST_F(Editor, ReadBackOnANoisyLineEndsWithin1000Ms) {
    answering = false;
    const struct {
        const char* what;
        std::function<void()> run;
    } readBacks[] = {
        {"dial edit", [&] { EXPECT_EQ(Change(175, +1), "-"); }},
        {"panel step", [&] { CKdPanelOperation::Step(196, 1, 5).Run(session); }},
    };
    for (const auto& readBack : readBacks) {
        std::atomic<bool> done = false;
        std::thread noise([&] {
            while (!done) {
                peer.Send({0x00});
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        const auto start = std::chrono::steady_clock::now();
        readBack.run();
        const auto held = std::chrono::steady_clock::now() - start;
        done = true;
        noise.join();
        EXPECT_LT(held, std::chrono::milliseconds(1300)) << readBack.what;
        session.Service(); // the noise still buffered
        Sent();
    }
}

} // namespace
