#pragma once

#include "CtlCompanion.h"

#include <string>
#include <vector>

// The command line of kaldo-ctl: global options, one command and its arguments.
class CtlOptions {
public:
    // Parses argv. Returns -1 when a command is to run, else the exit code (0 after --help or
    // --version, CtlStatus::kUsage after a mistake, which has been printed).
    int Parse(int argc, char** argv);

    // Global
    std::string mDevicePath; // --device: a serial node opened as it is
    std::string mSerial;     // --serial: which of several switchers
    bool mTrace = false;     // --trace: every packet on stderr

    std::string mCommand; // list, info, get, set, get-text, set-text, dump, backup, restore, ...
    std::vector<long> mPrmIDs;                 // get
    long mPrmID = 0;                           // set; get-text, set-text: the first identifier
    std::string mValue;                        // set: the value; set-text: the text
    bool mRaw = false;                         // get, set: stored numbers instead of page texts
    int mLength = 0;                           // get-text, set-text
    std::string mPage;                         // dump --page
    std::string mFile;                         // backup, restore
    bool mDryRun = false;                      // restore --dry-run
    bool mVerbose = false;                     // restore --verbose: unchanged settings too
    std::string mEventText;                    // event
    int mEventPort = CtlCompanion::kEventPort; // event --port (tests use other ports)
    int mReplyPort = CtlCompanion::kReplyPort; // event --reply-port
    int mWaitMs = 2000;                        // event --wait: for the reply
    int mRebootWaitS = 10;                     // reboot --wait: for the switcher to come back
};
