#pragma once

#include "LPollRunLoop.h"
#include "SimBootloader.h"
#include "SimRecord.h"

#include <functional>
#include <string>

// The bootloader's virtual HID device: a listening SOCK_SEQPACKET socket next to its record
// (kind=hid), one connection at a time, one message per report. Each report goes to the
// bootloader and its answer goes back as one report.
class SimHidPort {
public:
    // Answers go out latencyMs after their report; onExit runs after the bootloader received
    // Exit Bootloader.
    SimHidPort(LPollRunLoop& loop, SimBootloader& bootloader, int latencyMs,
               std::function<void()> onExit);
    ~SimHidPort() { Close(); }
    SimHidPort(const SimHidPort&) = delete;
    SimHidPort& operator=(const SimHidPort&) = delete;

    // Listens on NAME.sock in the record directory and publishes NAME.dev for it.
    bool Open(const std::string& name, SimRecord::_SInfo info, std::string& error);
    // Removes the record and closes the sockets.
    void Close();

private:
    void Accept();
    void Receive();
    void Hangup();

    LPollRunLoop& mLoop;
    SimBootloader& mBootloader;
    int mLatencyMs;
    std::function<void()> mOnExit;
    SimRecord mRecord;
    std::string mPath;
    int mListener = -1;
    int mListenerSource = 0;
    int mConnection = -1;
    int mConnectionSource = 0;
    long mConnections = 0; // tells a delayed answer whether its connection is still there
};
