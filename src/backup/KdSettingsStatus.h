#pragma once

// Results of reading, checking and writing settings; kaldo-ctl uses them as its exit codes.
namespace KdSettingsStatus {
enum : int {
    kOK = 0,
    kOther = 1,    // file or link failure, anything not listed below
    kUsage = 2,    // a name, a value or a backup file is wrong
    kNoDevice = 3, // no switcher, or the link to it was lost
    kNoAnswer = 4, // no answer within the time-out, or a write not confirmed
    kRefused = 5,  // the switcher answered with a non-zero status or kept another value
    kDeclined = 6, // a confirmation was declined, or a backup of another unit not allowed
};
} // namespace KdSettingsStatus
