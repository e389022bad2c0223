#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "RemoteSession.h"

#include <string>

namespace {

struct Executor : RemoteSession {
    // Interprets text and executes it on the session.
    void Event(const std::string& text) {
        int32_t eventNum;
        int64_t dataNum;
        ASSERT_TRUE(CKdRemoteInterpreter::Interpret(text, eventNum, dataNum)) << text;
        executor.ReceiveData(&session, eventNum, dataNum);
    }
    // The event with the switcher holding value at id.
    void EventAt(long id, int value, const std::string& text) {
        device.memory[id] = uint8_t(value);
        Event(text);
    }
    int Value(long id) { return session.Value(id, 0); }

    std::vector<std::string> replies;
    CKdRemoteExecutor executor{[this](const char* text) { replies.push_back(text); }};
};

TEST_F(Executor, CallRecallsOrStoresWhileSaveIsHeld) {
    Event("KeyDown:call:ROI3:[2]");
    EXPECT_EQ(Sent(), (Wires{Set(171, {2, 1, 0, 1})}));
    EXPECT_EQ(Value(171), 2);
    EXPECT_EQ(Value(172), 1);

    Event("KeyDown:save");
    EXPECT_EQ(Sent(), Wires());
    Event("KeyDown:call:ROI3:[1]");
    Event("KeyUp:call:ROI3:[1]");
    EXPECT_EQ(Sent(), (Wires{Set(176, {0, 2, 1})}));
    EXPECT_EQ(Value(176), 0);
    EXPECT_EQ(Value(177), 2);

    Event("KeyUp:save");
    Event("KeyDown:call:ROI8:[1]");
    EXPECT_EQ(Sent(), (Wires{Set(171, {7, 0, 0, 1})}));
}

TEST_F(Executor, MovesRunUntilTheirKeyUpOrStop) {
    Event("KeyDown:move:Left:Fast:[1]");
    Event("KeyUp:move:Left:Fast:[1]");
    Event("KeyDown:move:Zoom Out:1:[2]"); // speed "1" shares bit 3 with the target field
    Event("KeyUp:move:Zoom Out:1:[2]");
    Event("KeyDown:move:Down:Mid:[2]");
    Event("KeyDown:move:Up:2:[1]");
    Event("KeyUp:move:Up:2:[1]");
    Event("KeyDown:move:Right:Slow:[1]");
    Event("KeyUp:move:Center:Slow:[1]"); // only direction keys stop an axis
    EXPECT_EQ(Sent(), (Wires{Set(188, {0xF0}), Set(188, {0}), Set(197, {1}), Set(197, {0}),
                             Set(199, {8}), Set(189, {0xFE}), Set(189, {0}), Set(188, {4})}));
    EXPECT_EQ(Value(188), 0); // speeds are never recorded

    device.memory[186] = 3;
    Store(182, 500, 2);
    Load(180, 10);
    Event("KeyDown:move:Stop:Fast:[1]");
    Event("KeyDown:move:Center:Fast:[2]");
    EXPECT_EQ(Value(182), 500);
    Event("KeyDown:move:Center:Fast:[1]");
    EXPECT_EQ(Value(182), 0);
    // "Full": the whole picture, leaving source and zoom movement alone.
    Event("KeyDown:move:Full:Fast:[1]");
    EXPECT_EQ(Sent(), (Wires{Set(187, {0, 0, 0}), Set(192, {0, 0, 0, 0}), Set(182, {0, 0, 0, 0}),
                             Set(180, {0x00, 0x0F, 0, 0, 0, 0})}));
    EXPECT_EQ(Value(180), 3840);
    EXPECT_EQ(Value(186), 3);
}

TEST_F(Executor, SourcesStepWithoutWrapping) {
    Event("KeyDown:src:STILL 2:[2]");
    Event("KeyDown:src:MAIN IN:[1]");
    EXPECT_EQ(Sent(), (Wires{Set(196, {3}), Set(186, {0})}));
    EXPECT_EQ(Value(196), 3);

    EventAt(186, 5, "KeyDown:src:Next:[1]");
    EventAt(196, 0, "KeyDown:src:Prev:[2]");
    EventAt(196, 2, "KeyDown:src:Next:[2]");
    EXPECT_EQ(Sent(), (Wires{Request(186, 1), Set(186, {5}), Request(196, 1), Set(196, {0}),
                             Request(196, 1), Set(196, {3})}));
    EXPECT_EQ(Value(196), 3);
}

TEST_F(Executor, SwitchWordsExecuteOrWriteAndRecord) {
    const std::pair<std::string, Bytes> cases[] = {
        {"[1]", Set(206, {1})},        {"MODE", Set(208, {1})},       {"MIX", Set(210, {1})},
        {"ROI", Set(210, {6})},        {"Auto Still", Set(291, {2})}, {"FTB", Set(209, {1})},
        {"Cut Backup", Set(218, {1})}, {"NAM Type", Set(290, {2})},   {"Wipe BtoT", Set(220, {3})},
        {"PbyP Type", Set(239, {1})},  {"Split T/B", Set(240, {1})},  {"Split Rev", Set(242, {1})},
        {"Key Green", Set(250, {3})},  {"Mon PFM", Set(313, {3})},
    };
    for (const auto& [word, wire] : cases) {
        Event("KeyDown:sw:" + word);
        EXPECT_EQ(Sent(), Wires{wire}) << word;
    }
    EXPECT_EQ(Value(210), 6);
    EXPECT_EQ(Value(291), 2);
    EXPECT_EQ(Value(313), 3);
    // Key-ups of every group but "move" and "save", and "alt", change nothing.
    for (const char* text :
         {"KeyUp:sw:MIX", "KeyUp:time:5sec:ROI", "KeyUp:src:Next:[1]", "KeyUp:rtime:1sec:1.0sec",
          "KeyDown:alt:FTB:1", "Rotate:call:ROI1:[1]", "Touch:sw:CUT", "Press:move:Left:Fast:[1]"})
        Event(text);
    EXPECT_EQ(Sent(), Wires());
    EXPECT_EQ(Value(210), 6);
}

TEST_F(Executor, TimesStopAtTheirEnds) {
    Event("KeyDown:time:5sec:Transition");
    Event("KeyDown:time:10sec:ROI");
    Event("KeyDown:time:0sec:Fade");
    EXPECT_EQ(Sent(), (Wires{Set(211, {50}), Set(175, {10}), Set(212, {0})}));

    EventAt(212, 95, "KeyDown:time:Inc 1sec:Fade");
    EventAt(175, 120, "KeyDown:time:Inc 1sec:ROI");
    EventAt(211, 5, "KeyDown:time:Dec 1sec:Transition");
    EventAt(175, 0, "KeyDown:time:Dec 1sec:Other");
    EXPECT_EQ(Sent(), (Wires{Request(212, 1), Set(212, {100}), Request(175, 1), Set(175, {120}),
                             Request(211, 1), Set(211, {0}), Request(175, 1), Set(175, {0})}));
    EXPECT_EQ(Value(212), 100);

    Event("KeyDown:rtime:60sec:6.0sec");
    Event("KeyDown:rtime:0sec:0.1sec");
    EXPECT_EQ(Sent(), (Wires{Set(175, {60, 0, 0, 0, 60}), Set(175, {0, 0, 0, 0, 1})}));
    EXPECT_EQ(Value(175), 0);
    EXPECT_EQ(Value(179), 1);
}

TEST_F(Executor, BulkSettingsGoInOnePacket) {
    Event("KeyDown:pinp:1:50:-5:7:100:90:5:255:128:0");
    Event("KeyDown:split:1:40:1:-10:20:3:16:32:64");
    Event("KeyDown:alpha:2:60:70:-45:180");
    EXPECT_EQ(Sent(), (Wires{Set(230, {50, 0xFB, 7, 100, 90, 5, 255, 128, 0, 1}),
                             Set(240, {1, 40, 1, 0xF6, 20, 3, 16, 32, 64}),
                             Set(250, {2, 60, 70, 0xD3, 180})}));
    EXPECT_EQ(Value(230), 50);
    EXPECT_EQ(Value(231), -5);
    EXPECT_EQ(Value(238), 0);
    EXPECT_EQ(Value(239), 1);
    EXPECT_EQ(Value(243), -10);
    EXPECT_EQ(Value(248), 64);
    EXPECT_EQ(Value(253), -45);
    EXPECT_EQ(Value(254), 180);
}

TEST_F(Executor, DialEventsGoToTheEditor) {
    EventAt(175, 5, "Rotate:enc:0:175:0:1");
    EXPECT_EQ(Sent(), (Wires{Request(175, 1), Set(175, {6})}));
    EXPECT_EQ(replies, std::vector<std::string>{"175:ROI Auto Time:6sec:5"});
    Event("KeyDown:enc:0:175:0:1"); // a key event with "enc" is no dial event
    EXPECT_EQ(Sent(), Wires());
}

TEST(ExecutorWithoutSession, ChangesNothing) {
    CKdRemoteExecutor executor([](const char*) { FAIL() << "no reply without a switcher"; });
    for (const char* text :
         {"KeyDown:call:ROI3:[2]", "KeyDown:src:Next:[1]", "KeyDown:time:Inc 1sec:ROI",
          "Rotate:enc:0:175:0:1", "KeyDown:pinp:1:2:3:4:5:6:7:8:9:10", "KeyUp:move:Up:1:[1]"}) {
        int32_t eventNum;
        int64_t dataNum;
        ASSERT_TRUE(CKdRemoteInterpreter::Interpret(text, eventNum, dataNum));
        executor.ReceiveData(nullptr, eventNum, dataNum);
    }
    // The save key is still followed, so a call after connecting behaves as the companion shows.
    executor.ReceiveData(nullptr, 0x16000, 0);
    EXPECT_TRUE(executor.RemoteSaveKeyHold());
    executor.ReceiveData(nullptr, 0x26000, 0);
    EXPECT_FALSE(executor.RemoteSaveKeyHold());
}

} // namespace
