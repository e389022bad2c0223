#pragma once

// Exit codes of kaldo-ctl and the one-line messages that go with them.
class CtlStatus {
public:
    enum : int {
        kOK = 0,
        kOther = 1,    // file or socket failure, anything not listed below
        kUsage = 2,    // the command line, an identifier, a value or a backup file is wrong
        kNoDevice = 3, // no switcher found or chosen, or its port cannot be opened
        kNoAnswer = 4, // the switcher did not answer within the time-out
        kRefused = 5,  // the switcher answered with a non-zero status or kept another value
    };

    // Prints "kaldo-ctl: " and the formatted message as one line on stderr; returns code.
    static int Fail(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same line without a code, for notes that do not end the command.
    static void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
};
