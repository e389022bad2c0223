#pragma once

#include <functional>
#include <vector>

class CKdPrmManager;

// The computer keyboard as a small control panel: number keys recall and store ROI presets,
// arrow and zoom keys move the ROI, other keys select its source, press [1], [2] and MODE,
// centre the ROI and set its automatic time. The keypad is a second panel whose hold keys (0,
// Enter, Clear) change what its digits do. Keys are the panel's key codes (the classic desktop
// virtual key codes, listed below); every key-down logs its code, every known key its name.
class CKdKeyboardOperation {
public:
    // clang-format off
    enum EKeyCode : int {
        kKeyS = 1, kKeyD = 2, kKeyF = 3, kKeyC = 8,
        kKey1 = 18, kKey2 = 19, kKey3 = 20, kKey4 = 21, kKey6 = 22, kKey5 = 23, kKey7 = 26, kKey8 = 28,
        kKeyEqual = 24, kKeyMinus = 27, kKeyP = 35, kKeyComma = 43, kKeyN = 45, kKeyM = 46,
        kKeyPeriod = 47, kKeyDelete = 51,
        kKeypadDecimal = 65, kKeypadMultiply = 67, kKeypadPlus = 69, kKeypadClear = 71,
        kKeypadDivide = 75, kKeypadEnter = 76, kKeypadMinus = 78,
        kKeypad0 = 82, kKeypad1 = 83, kKeypad2 = 84, kKeypad3 = 85, kKeypad4 = 86, kKeypad5 = 87,
        kKeypad6 = 88, kKeypad7 = 89, kKeypad8 = 91, kKeypad9 = 92,
        kKeyF5 = 96, kKeyF6 = 97, kKeyF7 = 98, kKeyF3 = 99, kKeyF8 = 100, kKeyF9 = 101,
        kKeyF10 = 109, kKeyHome = 115, kKeyPageUp = 116, kKeyF4 = 118, kKeyEnd = 119,
        kKeyF2 = 120, kKeyF1 = 122,
        kKeyLeft = 123, kKeyRight = 124, kKeyDown = 125, kKeyUp = 126,
    };
    // clang-format on

    // What a key does while a condition holds: the key-down table as it reads.
    struct _SKeyAction {
        int mKeyCode;
        const char* mCondition; // "" (always), "Shift", "Keypad Enter", "Keypad 0", "Num Lock"
        const char* mAction;    // the operation's name, as logged
    };

    // Writes one log line.
    using Log = std::function<void(const char* line)>;

    explicit CKdKeyboardOperation(Log log = SystemLog) : mLog(std::move(log)) {}

    // shift: Shift is held (it matters for the main keyboard's digits only). Without a session
    // only the log lines and the hold keys' state change.
    void KeyDown(CKdPrmManager* session, int keyCode, bool shift);
    void KeyUp(CKdPrmManager* session, int keyCode);

    bool KeyNumPad0Hold() const { return keyNumPad0Hold; }
    bool KeyEnterHold() const { return keyEnterHold; }
    bool KeyClearHold() const { return keyClearHold; }

    // The key-down table's rows of keyCode, in the order they are tried.
    static std::vector<_SKeyAction> KeyActions(int keyCode);

    // The system log (syslog).
    static void SystemLog(const char* line);

private:
    bool* HoldFlag(int hold);

    Log mLog;
    bool keyNumPad0Hold = false;
    bool keyEnterHold = false;
    bool keyClearHold = false;
};
