#pragma once

#include "LIOService.h"
#include "LRunLoopSource.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The directory of virtual device records (docs/virtual-devices.md). Reads the records as
// registry entries and, once started, watches the directory with inotify on a run loop: a new
// record is an arrival, a removed one a removal. Only complete records are read: a record is
// taken when it is renamed into place or closed after writing, never while it is being written.
class LIOVirtualDeviceDir {
public:
    using Handler = std::function<void(const LIOService&)>;

    // A null path means DefaultPath().
    explicit LIOVirtualDeviceDir(const char* path = nullptr);
    ~LIOVirtualDeviceDir();
    LIOVirtualDeviceDir(const LIOVirtualDeviceDir&) = delete;
    LIOVirtualDeviceDir& operator=(const LIOVirtualDeviceDir&) = delete;

    // $KALDO_DEVICE_DIR, else $XDG_RUNTIME_DIR/kaldo/devices, else /tmp/kaldo-$UID/devices.
    static LString DefaultPath();
    // A record's file name: ends in ".dev" and does not start with a dot.
    static bool IsRecordName(const char* name);
    // The entry of the record file at path; false when it cannot be read or lacks a required key.
    // Its session identifier always has bit 62 set and bit 61 clear.
    static bool ReadRecord(const char* path, LIOService& service);

    const LString& Path() const { return mPath; }
    // Every valid record in the directory now, in name order.
    std::vector<LIOService> ReadRecords() const;

    // Creates the directory if it is missing, watches it on loop (null: the main run loop) and
    // reports every record present now to added before it returns. False when the directory
    // cannot be watched; the records present are reported all the same.
    bool Start(LRunLoop* loop, Handler added, Handler removed);
    void Stop();

private:
    std::vector<std::string> RecordNames() const;
    std::string RecordPath(const std::string& name) const;
    // Brings the known records in line with the directory, reporting the differences.
    void Rescan();
    void HandleEvents();
    // Reports a new record, or a replaced one as a removal and an arrival.
    void RecordWritten(const std::string& name);
    void RecordGone(const std::string& name);

    LString mPath;
    int mInotify = -1;
    LRunLoopSource mSource;
    Handler mAdded;
    Handler mRemoved;
    std::map<std::string, LIOService> mRecords; // by file name
};
