#pragma once

#include "CtlDevice.h"
#include "CtlNames.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "LObjPtr_.h"

#include <string>
#include <vector>

class CKdChangeSet;
class CtlOptions;

// Runs the command of a parsed command line; each returns a CtlStatus exit code. Names and
// values are checked against the catalogue before any switcher is opened.
class CtlCommands {
public:
    explicit CtlCommands(const CtlOptions& options);

    int Run();

private:
    int List();
    int Info();
    int Get();
    int Set();
    int GetText();
    int SetText();
    int Exec();
    int Save();
    int Dump();
    int Watch();
    int Backup();
    int Restore();
    int Event();
    int Reboot();
    int Names();
    int Update(); // update-main, update-usb: CtlUpdate

    // Finds and opens the switcher and waits for its version answer.
    int Connect();
    // Closes the link; Connect's device stays chosen for CtlDevice::Open.
    void Disconnect();
    // Resolves every name, or fails with kUsage.
    int ResolveAll(const std::vector<std::string>& names, std::vector<CtlNames::_STarget>& targets);
    // A one-line reason when the run of length identifiers from id is not all characters of
    // texts (writable: that can be written); empty when it is.
    LString CheckTextRun(long id, int length, bool writable);
    // Writes the changes and reports them; then Parameter Save with --save, else a reminder that
    // the change lasts until power-off.
    int ApplyChanges(CKdChangeSet& changes, bool summary);
    // Sends an execute identifier with the value 1 and collects its answer.
    int Execute(const CtlNames::_STarget& target);
    // Asks "question [y/N]" on the terminal; --yes answers it. kOK or kDeclined (printed).
    int Confirm(const char* question);
    // The value of a secret from standard input ("-") or a prompt without echo.
    int ReadSecret(const CtlNames::_STarget& target, std::string& value);
    CtlOutput::Json RowRecord(const CtlNames::_STarget& target);

    const CtlOptions& mOptions;
    CtlOutput mOutput;
    CtlDevice mDevice;
    LObjPtr_<CtlSession> mSession; // offline until Connect, and the catalogue before
};
