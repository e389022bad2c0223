#pragma once

#include "CtlDevice.h"
#include "CtlSession.h"
#include "LObjPtr_.h"

class CtlOptions;

// Runs the command of a parsed command line; each returns a CtlStatus exit code. Arguments are
// checked against the catalogue before any switcher is opened.
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
    int Dump();
    int Backup();
    int Restore();
    int Event();
    int Reboot();
    int Update(); // update-main, update-usb: CtlUpdate

    // Finds and opens the switcher and waits for its version answer.
    int Connect();
    // A one-line reason when the run of length identifiers from id is not all characters of
    // texts (writable: that can be written); empty when it is.
    LString CheckTextRun(long id, int length, bool writable);

    const CtlOptions& mOptions;
    CtlDevice mDevice;
    LObjPtr_<CtlSession> mSession; // offline until Connect, and the catalogue before
};
