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

// One case per row of the key tables: key code, Shift, the hold key held meanwhile (0: none),
// the name logged and the packets. The switcher holds automatic time 7, source 2 and positions
// 100, 100 before each.
TEST_F(Keyboard, EveryRowOfTheKeyTables) {
    const struct {
        int keyCode;
        bool shift;
        int heldKeyCode;
        const char* name;
        Wires sent;
    } rows[] = {
        // clang-format off
        {1, false, 0, "Slow", {Request(175, 1), Set(175, {8})}},
        {2, false, 0, "Default", {Set(175, {2})}},
        {75, false, 0, "Default", {Set(175, {2})}},
        {3, false, 0, "Fast", {Request(175, 1), Set(175, {6})}},
        {67, false, 0, "Fast", {Request(175, 1), Set(175, {6})}},
        {8, false, 0, "Cut", {Set(175, {0})}},
        {65, false, 0, "Cut", {Set(175, {0})}},
        {18, true, 0, "1 with Shift", {Set(176, {0, 0, 1})}},
        {19, true, 0, "2 with Shift", {Set(176, {0, 1, 1})}},
        {20, true, 0, "3 with Shift", {Set(176, {0, 2, 1})}},
        {21, true, 0, "4 with Shift", {Set(176, {0, 3, 1})}},
        {23, true, 0, "5 with Shift", {Set(176, {0, 4, 1})}},
        {22, true, 0, "6 with Shift", {Set(176, {0, 5, 1})}},
        {26, true, 0, "7 with Shift", {Set(176, {0, 6, 1})}},
        {28, true, 0, "8 with Shift", {Set(176, {0, 7, 1})}},
        {18, false, 0, "1", {Set(171, {0, 0, 0, 1})}},
        {19, false, 0, "2", {Set(171, {1, 0, 0, 1})}},
        {20, false, 0, "3", {Set(171, {2, 0, 0, 1})}},
        {21, false, 0, "4", {Set(171, {3, 0, 0, 1})}},
        {23, false, 0, "5", {Set(171, {4, 0, 0, 1})}},
        {22, false, 0, "6", {Set(171, {5, 0, 0, 1})}},
        {26, false, 0, "7", {Set(171, {6, 0, 0, 1})}},
        {28, false, 0, "8", {Set(171, {7, 0, 0, 1})}},
        {24, false, 0, "ZoomIn", {Set(187, {0xFC})}},
        {69, false, 0, "ZoomIn", {Set(187, {0xFC})}},
        {109, false, 0, "ZoomIn", {Set(187, {0xFC})}},
        {27, false, 0, "ZoomOut", {Set(187, {4})}},
        {78, false, 0, "ZoomOut", {Set(187, {4})}},
        {101, false, 0, "ZoomOut", {Set(187, {4})}},
        {35, false, 0, "SourceDec", {Request(186, 1), Set(186, {1})}},
        {119, false, 0, "SourceDec", {Request(186, 1), Set(186, {1})}},
        {45, false, 0, "SourceInc", {Request(186, 1), Set(186, {3})}},
        {115, false, 0, "SourceInc", {Request(186, 1), Set(186, {3})}},
        {43, false, 0, "[1]", {Set(206, {1})}},
        {47, false, 0, "[2]", {Set(207, {1})}},
        {46, false, 0, "MODE", {Set(208, {1})}},
        {51, false, 0, "Center", {Set(182, {0, 0, 0, 0})}},
        {116, false, 0, "Center", {Set(182, {0, 0, 0, 0})}},
        {71, false, 0, "Clear", {}},
        {76, false, 0, "Enter", {}},
        {82, false, 0, "TenKey0", {}},
        {83, false, 76, "TenKeyNum1 with Enter", {Set(176, {0, 0, 1})}},
        {84, false, 76, "TenKeyNum2 with Enter", {Set(176, {0, 1, 1})}},
        {85, false, 76, "TenKeyNum3 with Enter", {Set(176, {0, 2, 1})}},
        {86, false, 76, "TenKeyNum4 with Enter", {Set(176, {0, 3, 1})}},
        {87, false, 76, "TenKeyNum5 with Enter", {Set(176, {0, 4, 1})}},
        {88, false, 76, "TenKeyNum6 with Enter", {Set(176, {0, 5, 1})}},
        {89, false, 76, "TenKeyNum7 with Enter", {Set(176, {0, 6, 1})}},
        {91, false, 76, "TenKeyNum8 with Enter", {Set(176, {0, 7, 1})}},
        {83, false, 82, "TenKeyNum1 with 0", {Set(171, {0, 1, 0, 1})}},
        {84, false, 82, "TenKeyNum2 with 0", {Set(171, {1, 1, 0, 1})}},
        {85, false, 82, "TenKeyNum3 with 0", {Set(171, {2, 1, 0, 1})}},
        {86, false, 82, "TenKeyNum4 with 0", {Set(171, {3, 1, 0, 1})}},
        {87, false, 82, "TenKeyNum5 with 0", {Set(171, {4, 1, 0, 1})}},
        {88, false, 82, "TenKeyNum6 with 0", {Set(171, {5, 1, 0, 1})}},
        {89, false, 82, "TenKeyNum7 with 0", {Set(171, {6, 1, 0, 1})}},
        {91, false, 82, "TenKeyNum8 with 0", {Set(171, {7, 1, 0, 1})}},
        {84, false, 71, "TiltDown", {Request(184, 2), Set(184, {108, 0})}},
        {85, false, 71, "SourceDec", {Request(186, 1), Set(186, {1})}},
        {86, false, 71, "PanLeft", {Request(182, 2), Set(182, {92, 0})}},
        {88, false, 71, "PanRight", {Request(182, 2), Set(182, {108, 0})}},
        {89, false, 71, "Center", {Set(182, {0, 0, 0, 0})}},
        {91, false, 71, "TiltUp", {Request(184, 2), Set(184, {92, 0})}},
        {83, false, 71, "TenKeyNum1", {Set(171, {0, 0, 0, 1})}},
        {87, false, 71, "TenKeyNum5", {Set(171, {4, 0, 0, 1})}},
        {83, false, 0, "TenKeyNum1", {Set(171, {0, 0, 0, 1})}},
        {84, false, 0, "TenKeyNum2", {Set(171, {1, 0, 0, 1})}},
        {85, false, 0, "TenKeyNum3", {Set(171, {2, 0, 0, 1})}},
        {86, false, 0, "TenKeyNum4", {Set(171, {3, 0, 0, 1})}},
        {87, false, 0, "TenKeyNum5", {Set(171, {4, 0, 0, 1})}},
        {88, false, 0, "TenKeyNum6", {Set(171, {5, 0, 0, 1})}},
        {89, false, 0, "TenKeyNum7", {Set(171, {6, 0, 0, 1})}},
        {91, false, 0, "TenKeyNum8", {Set(171, {7, 0, 0, 1})}},
        {92, false, 71, "SourceInc", {Request(186, 1), Set(186, {3})}},
        {92, false, 0, "Slow", {Request(175, 1), Set(175, {8})}},
        {122, false, 0, "F1", {Set(171, {0, 1, 0, 1})}},
        {120, false, 0, "F2", {Set(171, {1, 1, 0, 1})}},
        {99, false, 0, "F3", {Set(171, {2, 1, 0, 1})}},
        {118, false, 0, "F4", {Set(171, {3, 1, 0, 1})}},
        {96, false, 0, "F5", {Set(171, {4, 1, 0, 1})}},
        {97, false, 0, "F6", {Set(171, {5, 1, 0, 1})}},
        {98, false, 0, "F7", {Set(171, {6, 1, 0, 1})}},
        {100, false, 0, "F8", {Set(171, {7, 1, 0, 1})}},
        {123, false, 0, "PanLeft", {Set(188, {0xFC})}},
        {124, false, 0, "PanRight", {Set(188, {4})}},
        {125, false, 0, "TiltDown", {Set(189, {4})}},
        {126, false, 0, "TiltUp", {Set(189, {0xFC})}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Store(175, 7);
        Store(186, 2);
        Store(182, 100, 2);
        Store(184, 100, 2);
        if (row.heldKeyCode) Down(row.heldKeyCode);
        log.clear();
        Down(row.keyCode, row.shift);
        if (row.heldKeyCode) Up(row.heldKeyCode);
        EXPECT_EQ(Sent(), row.sent);
        EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 2),
                  (std::vector<std::string>{std::to_string(row.keyCode), row.name}));
        // A hold key is let go again for the next row.
        if (!row.heldKeyCode && row.sent.empty()) Up(row.keyCode);
    }
    EXPECT_FALSE(keyboard.KeyNumPad0Hold() || keyboard.KeyEnterHold() || keyboard.KeyClearHold());
}

TEST_F(Keyboard, EveryRowOfTheKeyUpTable) {
    const struct {
        int keyCode;
        const char* name;
        Wires sent;
    } rows[] = {
        // clang-format off
        {123, "PanStop", {Set(188, {0})}},   {124, "PanStop", {Set(188, {0})}},
        {125, "TiltStop", {Set(189, {0})}},  {126, "TiltStop", {Set(189, {0})}},
        {24, "ZoomStop", {Set(187, {0})}},   {27, "ZoomStop", {Set(187, {0})}},
        {69, "ZoomStop", {Set(187, {0})}},   {78, "ZoomStop", {Set(187, {0})}},
        {101, "ZoomStop", {Set(187, {0})}},  {109, "ZoomStop", {Set(187, {0})}},
        {82, "TenKey0Off", {}},              {71, "ClearOff", {}},
        {76, "EnterOff", {}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        log.clear();
        Up(row.keyCode);
        EXPECT_EQ(Sent(), row.sent);
        EXPECT_EQ(log, std::vector<std::string>{row.name});
    }
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
