#pragma once

#include <cstdint>
#include <memory>
#include <string>

class LReplacementFile;

// The virtual device record that announces one attachment of the simulator: a key=value file
// written aside and renamed into the record directory, removed when the device leaves. The
// simulator holds the record locked for as long as it lives, so that readers know a record
// left behind by a killed simulator for stale.
class SimRecord {
public:
    struct _SInfo {
        unsigned vendor = 0;
        unsigned product = 0;
        std::string vendorName;
        std::string productName;
        std::string serial;
        unsigned location = 0;
        uint64_t session = 0;
        std::string tty;
        std::string socket; // a bootloader's HID socket instead of a terminal (kind=hid)
    };

    SimRecord();
    ~SimRecord();
    SimRecord(const SimRecord&) = delete;
    SimRecord& operator=(const SimRecord&) = delete;

    // $KALDO_DEVICE_DIR, else $XDG_RUNTIME_DIR/kaldo/devices, else /tmp/kaldo-$UID/devices.
    static std::string Directory();
    // A fresh session identifier with bit 62 set, as virtual devices carry.
    static uint64_t NewSession();

    // Writes NAME.dev (through a hidden temporary renamed into place), creating the directory
    // when missing, and keeps it locked. Refuses a /tmp/kaldo-$UID that another user owns or others
    // may write to.
    bool Publish(const std::string& name, const _SInfo& info, std::string& error);
    void Remove();

private:
    std::string mPath;
    std::unique_ptr<LReplacementFile> mRecord; // its descriptor holds the record's lock
};
