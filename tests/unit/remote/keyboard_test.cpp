#include "CKdKeyboardOperation.h"
#include "RemoteSession.h"

#include <string>

namespace {

struct Keyboard : RemoteSession {
    void Down(int keyCode, bool shift = false) { keyboard.KeyDown(&session, keyCode, shift); }
    void Up(int keyCode) { keyboard.KeyUp(&session, keyCode); }
    // The key pressed with the switcher holding value at id, width bytes.
    void DownAt(long id, int value, int width, int keyCode) {
        Store(id, value, width);
        Down(keyCode);
    }

    std::vector<std::string> log;
    CKdKeyboardOperation keyboard{[this](const char* line) { log.push_back(line); }};
};

// Key codes as the platform numbers them.
enum : int {
    kS = 1, kD = 2, kF = 3, kC = 8, k3 = 20, k6 = 22, k5 = 23, k8 = 28, kP = 35, kN = 45,
    kM = 46, kDelete = 51, kPadClear = 71, kPadEnter = 76, kPad0 = 82, kPad1 = 83, kPad2 = 84,
    kPad3 = 85, kPad4 = 86, kPad5 = 87, kPad6 = 88, kPad7 = 89, kPad8 = 91, kPad9 = 92, kF9 = 101,
    kF10 = 109, kF2 = 120, kF8 = 100, kLeft = 123, kDown = 125,
};

TEST_F(Keyboard, DigitsRecallOrStorePresets) {
    Down(k5);
    Down(k6);
    Down(k3, true);
    Down(k3);
    Down(k8);
    Down(kF2);
    Down(kF8);
    EXPECT_EQ(Sent(), (Wires{Set(171, {4, 0, 0, 1}), Set(171, {5, 0, 0, 1}), Set(176, {0, 2, 1}),
                             Set(171, {2, 0, 0, 1}), Set(171, {7, 0, 0, 1}), Set(171, {1, 1, 0, 1}),
                             Set(171, {7, 1, 0, 1})}));
    EXPECT_EQ(log, (std::vector<std::string>{"23", "5", "22", "6", "20", "3 with Shift", "20", "3",
                                             "28", "8", "120", "F2", "100", "F8"}));
    EXPECT_EQ(session.Value(171, 0), 7);
    EXPECT_EQ(session.Value(172, 0), 1);
}

TEST_F(Keyboard, KeypadHoldKeysInTheirOrderOfPrecedence) {
    Down(kPad0);
    Down(kPadEnter);
    Down(kPad3); // Enter wins
    Up(kPadEnter);
    Down(kPad3); // keypad 0 alone: ROI [2]
    Down(kPadClear);
    Down(kPad2); // keypad 0 still wins over Clear
    Up(kPad0);
    Down(kPad1); // Clear does not change keypad 1
    Down(kPad5);
    Up(kPadClear);
    Down(kPad7);
    EXPECT_EQ(Sent(),
              (Wires{Set(176, {0, 2, 1}), Set(171, {2, 1, 0, 1}), Set(171, {1, 1, 0, 1}),
                     Set(171, {0, 0, 0, 1}), Set(171, {4, 0, 0, 1}), Set(171, {6, 0, 0, 1})}));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "82", "TenKey0", "76", "Enter", "85", "TenKeyNum3 with Enter", "EnterOff",
                       "85", "TenKeyNum3 with 0", "71", "Clear", "84", "TenKeyNum2 with 0",
                       "TenKey0Off", "83", "TenKeyNum1", "87", "TenKeyNum5", "ClearOff", "89",
                       "TenKeyNum7"}));
    EXPECT_FALSE(keyboard.KeyNumPad0Hold() || keyboard.KeyEnterHold() || keyboard.KeyClearHold());
}

TEST_F(Keyboard, ClearHeldStepsPositionsAndSourceToTheirLimits) {
    Down(kPadClear);
    DownAt(182, 1915, 2, kPad6);
    DownAt(182, 1912, 2, kPad6);
    DownAt(182, -1920, 2, kPad4);
    DownAt(184, 1075, 2, kPad2);
    DownAt(184, -3, 2, kPad8);
    DownAt(186, 0, 1, kPad3);
    DownAt(186, 4, 1, kPad9);
    Store(182, 700, 2);
    Load(182, 4);
    Down(kPad7);
    EXPECT_EQ(session.Value(182, 0), 0);
    EXPECT_EQ(Sent(), (Wires{Request(182, 2), Set(182, {0x80, 0x07}), Request(182, 2),
                             Set(182, {0x80, 0x07}), Request(182, 2), Set(182, {0x80, 0xF8}),
                             Request(184, 2), Set(184, {0x38, 0x04}), Request(184, 2),
                             Set(184, {0xF5, 0xFF}), Request(186, 1), Set(186, {0}),
                             Request(186, 1), Set(186, {5}), Set(182, {0, 0, 0, 0})}));
    EXPECT_EQ(std::vector<std::string>(log.begin() + 2, log.end()),
              (std::vector<std::string>{"88", "PanRight", "88", "PanRight", "86", "PanLeft", "84",
                                        "TiltDown", "91", "TiltUp", "85", "SourceDec", "92",
                                        "SourceInc", "89", "Center"}));
}

TEST_F(Keyboard, TimeSourceButtonsAndMovements) {
    DownAt(175, 120, 1, kS);
    DownAt(175, 0, 1, kF);
    Down(kD);
    Down(kC);
    DownAt(175, 7, 1, kPad9);
    DownAt(186, 5, 1, kN);
    Down(kP);
    Down(kM);
    Down(kDelete);
    Down(kF10);
    Up(kF10);
    Down(kF9);
    Down(kLeft);
    Down(kLeft); // repeats are not filtered
    Up(kLeft);
    Down(kDown);
    Up(kDown);
    EXPECT_EQ(Sent(),
              (Wires{Request(175, 1), Set(175, {120}),        Request(175, 1),  Set(175, {0}),
                     Set(175, {2}),   Set(175, {0}),          Request(175, 1),  Set(175, {8}),
                     Request(186, 1), Set(186, {5}),          Request(186, 1),  Set(186, {4}),
                     Set(208, {1}),   Set(182, {0, 0, 0, 0}), Set(187, {0xFC}), Set(187, {0}),
                     Set(187, {4}),   Set(188, {0xFC}),       Set(188, {0xFC}), Set(188, {0}),
                     Set(189, {4}),   Set(189, {0})}));
    EXPECT_EQ(session.Value(175, 0), 8);
    EXPECT_EQ(
        std::vector<std::string>(log.end() - 6, log.end()),
        (std::vector<std::string>{"123", "PanLeft", "PanStop", "125", "TiltDown", "TiltStop"}));
}

TEST_F(Keyboard, UnknownKeysOnlyLogTheirCode) {
    for (int keyCode : {0, 4, 30, 74, 127, 500, -1})
        Down(keyCode);
    Up(kS);
    Up(kPad1);
    EXPECT_EQ(Sent(), Wires());
    EXPECT_EQ(log, (std::vector<std::string>{"0", "4", "30", "74", "127", "500", "-1"}));
}

TEST(KeyboardWithoutSession, OnlyLogsAndHoldsChange) {
    std::vector<std::string> log;
    CKdKeyboardOperation keyboard([&](const char* line) { log.push_back(line); });
    keyboard.KeyDown(nullptr, kPadEnter, false);
    keyboard.KeyDown(nullptr, kPad3, false);
    keyboard.KeyDown(nullptr, kS, false);
    keyboard.KeyUp(nullptr, kLeft);
    EXPECT_TRUE(keyboard.KeyEnterHold());
    EXPECT_EQ(log, (std::vector<std::string>{"76", "Enter", "85", "TenKeyNum3 with Enter", "1",
                                             "Slow", "PanStop"}));
}

} // namespace
