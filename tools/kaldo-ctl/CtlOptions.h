#pragma once

#include "CtlCompanion.h"
#include "CtlOutput.h"

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
    CtlOutput::EFormat mFormat = CtlOutput::EFormat::Text; // --json, --terse
    bool mQuiet = false;       // -q: no notes, no progress, no summaries
    bool mVerbose = false;     // -v: unchanged settings too
    bool mShowSecrets = false; // --show-secrets
    bool mYes = false;         // -y: no confirmation prompts
    int mRetries = 1;          // --retries: requests sent again after a time-out
    int mTimeoutMs = 1000;     // --timeout: of one request
    int mWaitBusyS = 0;        // --wait-busy: for a switcher another program holds

    std::string mCommand; // list, info, get, set, get-text, set-text, dump, backup, restore, ...
    std::vector<std::string> mNames;   // get, watch: names or identifiers
    std::string mName;                 // set, exec: name or identifier
    long mPrmID = 0;                   // get-text, set-text: the first identifier
    std::string mValue;                // set: the value; set-text: the text
    bool mHasValue = false;            // set: a value was given
    bool mRaw = false;                 // get, set: stored numbers instead of page texts
    bool mSave = false;                // set, set-text, restore: Parameter Save afterwards
    int mLength = 0;                   // get-text, set-text
    std::string mPage;                 // dump, watch --page; restore --only
    std::string mFile;                 // backup, restore
    bool mDryRun = false;              // restore --dry-run
    bool mForce = false;               // restore --force
    std::vector<std::string> mExclude; // restore --exclude
    int mIntervalMs = 500;             // watch --interval
    int mCount = 0;                    // watch --count: stop after so many changes (0: never)
    std::string mEventText;            // event
    bool mCheckOnly = false;           // event --check: validate only
    int mEventPort = CtlCompanion::kEventPort; // event --port (tests use other ports)
    int mReplyPort = 0;                        // event --reply-port; 0: the event port + 1 (51515)
    int mWaitMs = 2000;                        // event --wait: for the reply
    int mRebootWaitS = 10;                     // reboot --wait: for the switcher to come back
    bool mPageNames = false;                   // names --pages
};
