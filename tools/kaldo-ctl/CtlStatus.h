#pragma once

#include <string>

// Exit codes of kaldo-ctl and the one-line messages that go with them.
class CtlStatus {
public:
    enum : int {
        kOK = 0,
        kOther = 1,    // file or socket failure, anything not listed below
        kUsage = 2,    // the command line, a name, a value or a backup file is wrong
        kNoDevice = 3, // no switcher found or chosen, or its port cannot be opened
        kNoAnswer = 4, // no answer within the time-out, or a write not confirmed
        kRefused = 5,  // the switcher answered with a non-zero status or kept another value
        kDeclined = 6, // a confirmation was declined, or a restore onto another unit lacks --force
        kPermission = 7, // the switcher's serial node may not be opened by this user
        kBusy = 8,       // another program holds the switcher's serial node
    };

    // quiet drops notes (not failures); colour marks the prefix on a terminal unless NO_COLOR.
    static void Configure(bool quiet);

    // Prints "kaldo-ctl: " and the formatted message as one line on stderr; returns code. The
    // first failure's message is kept for the JSON error object.
    static int Fail(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same line without a code, for notes that do not end the command.
    static void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static const std::string& FirstFailure();
};
