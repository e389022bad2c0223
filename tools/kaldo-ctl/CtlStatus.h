#pragma once

#include "KdSettingsStatus.h"

#include <string>

// Exit codes of kaldo-ctl and the one-line messages that go with them.
class CtlStatus {
public:
    enum : int {
        kOK = KdSettingsStatus::kOK,
        kOther = KdSettingsStatus::kOther, // file or socket failure, anything not listed below
        kUsage = KdSettingsStatus::kUsage, // the command line, a name, a value or a backup file
        kNoDevice = KdSettingsStatus::kNoDevice, // no switcher, or its port cannot be opened
        kNoAnswer = KdSettingsStatus::kNoAnswer, // no answer in time, or a write not confirmed
        kRefused = KdSettingsStatus::kRefused,   // a non-zero status, or another value kept
        kDeclined = KdSettingsStatus::kDeclined, // declined, or a restore lacks --force
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
