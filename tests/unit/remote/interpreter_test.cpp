#include "CKdRemoteInterpreter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Accepted {
    std::string text;
    uint32_t eventNum;
    uint64_t dataNum = 0;
};

// Texts with the numbers the companion expects for them.
const Accepted kAccepted[] = {
    {"KeyDown:call:ROI3:[2]", 0x11320},
    {"KeyDown:call:ROI8:[1]", 0x11810},
    {"KeyDown:move:Left:Fast:[1]", 0x12111},
    {"KeyUp:move:Left:Fast:[1]", 0x22111},
    {"KeyDown:move:Zoom Out:1:[2]", 0x1260A},
    {"KeyDown:move:Stop:2:[1]", 0x129F1},
    {"KeyDown:move:Up:16:[1]", 0x12311}, // "16" is not "1" followed by more
    {"KeyDown:move:Up:Slow:[2]", 0x12332},
    {"KeyDown:move:Full:10:[1]", 0x12891},
    {"KeyDown:move:Left:1:[1]", 0x12109},
    {"KeyDown:move:Left:9:[1]", 0x121A1},
    {"KeyDown:move:Left:7:[1]", 0x121B1},
    {"KeyDown:src:Prev:[2]", 0x13802},
    {"KeyDown:src:STILL 3:[1]", 0x13501},
    {"KeyDown:src:MAIN IN:[1]", 0x13101},
    {"KeyDown:sw:CUT", 0x14400},
    {"KeyDown:sw:[2]", 0x14200},
    {"KeyDown:sw:FTB", 0x14F00},
    {"KeyDown:sw:Mon PFM", 0x14017},
    {"KeyDown:sw:Split Rev", 0x1400F},
    {"KeyDown:sw:Auto ROI", 0x14E00},
    {"KeyDown:sw:Cut Normal", 0x14001},
    {"KeyDown:sw:Key Black", 0x14010},
    {"KeyDown:sw:Mon [1]", 0x14015},
    {"KeyDown:time:5sec:Curtain", 0x15610}, // an unknown target counts as "ROI"
    {"KeyDown:time:Inc 1sec:Fade", 0x15730},
    {"KeyDown:time:10sec:Transition", 0x15D20},
    {"KeyDown:save:x:y", 0x16000}, // fields beyond those read are ignored
    {"KeyUp:save", 0x26000},
    {"KeyDown:alt:Panel Lock:1", 0x17720},
    {"KeyDown:alt:FTB:0", 0x17110},
    {"KeyDown:time:0sec:ROI", 0x15110},
    {"KeyDown:time:Dec 1sec:ROI", 0x15810},
    {"KeyDown:time:6sec:ROI", 0x15910},
    {"KeyDown:rtime:60sec:1.0sec", 0x18F4B},
    {"KeyDown:rtime:0sec:0.0sec", 0x18041},
    {"KeyDown:rtime:58sec:6.0sec", 0x18EFD},
    {"Rotate:enc:1:210:0:-2", 0xD2592FE},
    {"Touch:enc:0:1000:1:127", 0x3E83917F},
    {"Press:enc:1:1023:1:-128", 0x3FF49380},
    {"Rotate:enc:0:0:0:0", 0x59000},
    {"KeyDown:pinp:1:50:0:0:100:100:5:255:255:255", 0x3201A001, 0xFFFFFF056464'0000},
    // The ends of every range; a type of -1 is "Off".
    {"KeyDown:pinp:-1:0:-50:50:0:100:0:0:0:255", 0x0001A0FF, 0xFF000000'640032CE},
    {"KeyDown:split:-1:100:1:-50:50:100:0:255:0", 0x6401B0FF, 0x00FF006432CE01},
    {"KeyDown:alpha:3:80:90:-45:180", 0x5001C003, 0xB4D35A},
    {"KeyDown:alpha:-1:0:100:90:0", 0x0001C0FF, 0x005A64},
};

TEST(RemoteInterpreter, AcceptedTextsGiveTheirNumbers) {
    for (const Accepted& accepted : kAccepted) {
        int32_t eventNum = -1;
        int64_t dataNum = -1;
        ASSERT_TRUE(CKdRemoteInterpreter::Interpret(accepted.text, eventNum, dataNum))
            << accepted.text;
        EXPECT_EQ(uint32_t(eventNum), accepted.eventNum) << accepted.text;
        EXPECT_EQ(uint64_t(dataNum), accepted.dataNum) << accepted.text;
    }
}

TEST(RemoteInterpreter, EveryAutoAndDampTimeWord) {
    // N seconds gives N + 1, x seconds 10x + 1; there is no word for 59 seconds.
    for (int seconds = 0; seconds <= 60; ++seconds)
        for (int tenths = 0; tenths <= 60; ++tenths) {
            const std::string text = "KeyUp:rtime:" + std::to_string(seconds) +
                                     "sec:" + std::to_string(tenths / 10) + "." +
                                     std::to_string(tenths % 10) + "sec";
            int32_t eventNum = 0;
            int64_t dataNum = 0;
            const bool accepted = CKdRemoteInterpreter::Interpret(text, eventNum, dataNum);
            ASSERT_EQ(accepted, seconds != 59) << text;
            if (accepted) {
                EXPECT_EQ(eventNum, 0x28000 + (seconds + 1) * 0x40 + tenths + 1) << text;
            }
        }
}

TEST(RemoteInterpreter, IgnoredTextsLeaveTheLastEventInPlace) {
    std::vector<std::pair<int32_t, int64_t>> received;
    CKdRemoteInterpreter interpreter([&](int32_t eventNum, int64_t dataNum) {
        received.push_back({eventNum, dataNum});
    });
    EXPECT_EQ(interpreter.EventNum(), 0);
    EXPECT_EQ(interpreter.DataNum(), 0);
    const std::string pinp = "KeyDown:pinp:1:50:0:0:100:100:5:255:255:255";
    ASSERT_TRUE(interpreter.Receive(pinp.data(), pinp.size()));

    // "ROI1" without a target; a line break belongs to the last field; even an unknown time
    // target must be there.
    const std::string ignored[] = {
        "",
        "KeyDown",
        "KeyDown:",
        "KeyDown:call",
        "KeyDown:call:ROI1",
        "KeyDown:call:ROI1:[1]\n",
        "KeyDown:call:ROI9:[1]",
        "KeyDown:call:ROI1:[3]",
        "keydown:call:ROI1:[1]",
        "KeyDown:Call:ROI1:[1]",
        "KeyDown:sw:cut",
        "KeyDown:sw: CUT",
        "KeyDown:move:Left:Fast",
        "KeyDown:move:Left:17:[1]",
        "KeyDown:move:Left:0:[1]",
        "KeyDown:time:11sec:ROI",
        "KeyDown:time:5sec",
        "KeyDown:alt:FTB:2",
        "KeyDown:rtime:59sec:1.0sec",
        "KeyDown:rtime:61sec:1.0sec",
        "KeyDown:rtime:1sec:6.1sec",
        "KeyDown:rtime:1sec:1sec",
        "KeyDown:rtime:01sec:1.0sec",
        "Rotate:enc:1:210:0",
        "KeyDown:pinp:1:50:0:0:100:100:5:255:255",
        "KeyDown:split:1:2:3:4:5:6:7:8",
        "KeyDown:alpha:1:2:3:4",
        "Hold:sw:CUT",
        "KeyDown:unknown:CUT",
        std::string("KeyDown:sw:CUT\0", 15),
        // Not UTF-8: a lone continuation byte, a truncated sequence, an overlong form, a
        // surrogate, beyond U+10FFFF.
        "KeyDown:sw:CUT\x80",
        "KeyDown:sw:\xC3",
        "KeyDown:sw:\xC0\xAF",
        "KeyDown:sw:\xED\xA0\x80",
        "KeyDown:sw:\xF4\x90\x80\x80",
        "\xFF:sw:CUT",
        "KeyDown:save:\xE2\x82",
    };
    for (const std::string& text : ignored)
        EXPECT_FALSE(interpreter.Receive(text.data(), text.size())) << text;

    EXPECT_EQ(received.size(), 1u);
    EXPECT_EQ(uint32_t(interpreter.EventNum()), 0x3201A001u);
    EXPECT_EQ(uint64_t(interpreter.DataNum()), 0xFFFFFF0564640000u);

    // Valid multi-byte text is read, and matches no word.
    const std::string accented = "KeyDown:save:\xC3\xA9t\xC3\xA9";
    EXPECT_TRUE(interpreter.Receive(accented.data(), accented.size()));
    EXPECT_EQ(interpreter.EventNum(), 0x16000);
    EXPECT_EQ(interpreter.DataNum(), 0);
    EXPECT_EQ(received.size(), 2u);
}

TEST(RemoteInterpreter, NumbersOutsideTheirFieldRefuseTheWholeText) {
    struct Refused {
        std::string text;
        std::string why;
    };
    const Refused refused[] = {
        // The dial: flags 0 or 1, a 10-bit identifier, a one-byte signed count.
        {"Rotate:enc:0:175:0:3037000500",
         "field 5 \"3037000500\" is out of range for the step count (-128 to 127)"},
        {"Rotate:enc:0:175:0:128", "field 5 \"128\" is out of range for the step count"},
        {"Rotate:enc:0:175:0:-129", "field 5 \"-129\" is out of range"},
        {"Rotate:enc:2:175:0:1", "field 2 \"2\" is out of range for the selection flag (0 to 1)"},
        {"Rotate:enc:0:-5:1:1", "field 3 \"-5\" is out of range for the parameter identifier"},
        {"Rotate:enc:0:1024:0:1", "field 3 \"1024\" is out of range"},
        {"Rotate:enc:0:175:-1:1", "field 4 \"-1\" is out of range for the coarse flag"},
        // Plain integers only.
        {"Rotate:enc: 1:175:0:1", "field 2 \" 1\" is not a whole number"},
        {"Rotate:enc:1:175:0:1.5", "field 5 \"1.5\" is not a whole number"},
        {"Rotate:enc:1:175:0:+1", "field 5 \"+1\" is not a whole number"},
        {"Rotate:enc:1:175x:0:1", "field 3 \"175x\" is not a whole number"},
        {"Rotate:enc:1:175:0:", "field 5 \"\" is not a whole number"},
        {"Rotate:enc:1:175:0:-", "field 5 \"-\" is not a whole number"},
        // Bulk settings: each field within its parameter's range.
        {"KeyDown:pinp:256:256:256:256:256:256:256:256:256:256",
         "field 2 \"256\" is out of range for PinP Type (-1 to 1)"},
        {"KeyDown:pinp:1:300:0:0:100:100:5:255:255:255",
         "field 3 \"300\" is out of range for PinP Size (0 to 100)"},
        {"KeyDown:pinp:1:50:-51:0:100:100:5:255:255:255",
         "field 4 \"-51\" is out of range for PinP H Position (-50 to 50)"},
        {"KeyDown:pinp:1:50:0:0:100:100:5:255:255:256",
         "field 11 \"256\" is out of range for PinP Border Color B (0 to 255)"},
        {"KeyDown:split:2:40:1:-10:20:3:16:32:64", "for Split Type (-1 to 1)"},
        {"KeyDown:split:1:40:2:-10:20:3:16:32:64",
         "field 4 \"2\" is out of range for Split Layout"},
        {"KeyDown:alpha:4:80:90:-45:180", "for Alpha Type (-1 to 3)"},
        {"KeyDown:alpha:3:80:90:-91:180", "for Alpha Chroma Hue (-90 to 90)"},
        {"KeyDown:alpha:3:80:90:-45:181", "for Alpha Chroma Width (0 to 180)"},
        {"KeyDown:alpha:3:80:90:-45:99999999999999999999999", "field 6 \"9999"},
        {"KeyDown:alpha:3:80:90:-45:18 ", "field 6 \"18 \" is not a whole number"},
        // Words and fields.
        {"KeyDown:call:ROI1:[1]\n", "field 3 \"[1]\\n\" is not a word of \"call\""},
        {"KeyDown:call:ROI1", "\"call\" reads 4 fields, the text has 3"},
        {"KeyDown", "the action (field 1) is missing"},
        {"Hold:sw:CUT", "field 0 \"Hold\" is not an event kind"},
        {"KeyDown:unknown:CUT", "field 1 \"unknown\" is not an action"},
        {"KeyDown:sw:CUT\x80", "not UTF-8"},
    };
    int calls = 0;
    CKdRemoteInterpreter interpreter([&](int32_t, int64_t) { ++calls; });
    for (const Refused& text : refused) {
        int32_t eventNum = 0;
        int64_t dataNum = 0;
        std::string why;
        EXPECT_FALSE(CKdRemoteInterpreter::Interpret(text.text, eventNum, dataNum, &why))
            << text.text;
        EXPECT_NE(why.find(text.why), std::string::npos) << text.text << ": " << why;
        EXPECT_FALSE(interpreter.Receive(text.text.data(), text.text.size())) << text.text;
    }
    EXPECT_EQ(calls, 0);
}

} // namespace
