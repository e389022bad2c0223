#pragma once

#include "CKdSettingsReport.h"
#include "CKdSettingsSession.h"

class CtlOutput;

// The session as kaldo-ctl uses it: failures and notes are printed as kaldo-ctl's lines
// (CtlStatus), records and progress go to the command's output. Results are CtlStatus codes.
class CtlSession : public CKdSettingsSession {
public:
    CtlSession();

    // Where records and the progress of long reads go.
    void SetOutput(CtlOutput* output);

private:
    class Printer : public CKdSettingsReport {
    public:
        void Message(bool failure, const std::string& text) override;
        void Record(const Json& record, const std::string& line) override;
        void Progress(const char* what, int done, int total) override;
        void EndProgress() override;

        CtlOutput* mOutput = nullptr;
    };
    // One per process, so that it is there before the session is built on it.
    static Printer sPrinter;
};
