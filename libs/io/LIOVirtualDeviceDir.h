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
// A record counts only while its publisher holds its lock: a record whose lock is free is stale
// (its publisher died) and is ignored, and deleted when it is this user's; when the publisher
// dies while watched, its record's closing is a removal. Files that hold no record are left
// alone.
class LIOVirtualDeviceDir {
public:
    using Handler = std::function<void(const LIOService&)>;

    // A null path means DefaultPath().
    explicit LIOVirtualDeviceDir(const char* path = nullptr);
    ~LIOVirtualDeviceDir();
    LIOVirtualDeviceDir(const LIOVirtualDeviceDir&) = delete;
    LIOVirtualDeviceDir& operator=(const LIOVirtualDeviceDir&) = delete;

    // $KALDO_DEVICE_DIR, else $XDG_RUNTIME_DIR/kaldo/devices, else FallbackBase()/devices.
    static LString DefaultPath();
    // /tmp/kaldo-$UID, where anyone could have made it: the default path below it is used only
    // while it is a private directory, and it is created with mode 0700.
    static LString FallbackBase();
    // A directory (not a link to one) of this process's user that nobody else may write to.
    static bool IsPrivateDirectory(const char* path);
    // A record's file name: ends in ".dev" and does not start with a dot.
    static bool IsRecordName(const char* name);
    // The entry of the record file at path; false when it is no regular file, cannot be read,
    // lacks a required key or is stale (then deleted when it is this user's). Never blocks. Its
    // session identifier always has bit 62 set and bit 61 clear.
    static bool ReadRecord(const char* path, LIOService& service);
    // The entry that a record's text describes, as ReadRecord takes it.
    static bool ParseRecord(const std::string& text, LIOService& service);

    const LString& Path() const { return mPath; }
    // Every valid record in the directory now, in name order.
    std::vector<LIOService> ReadRecords() const;

    // Creates the directory if it is missing, watches it on loop (null: the main run loop) and
    // reports every record present now to added before it returns. False when the directory
    // cannot be watched (Failure() says why); the records present are reported all the same. A
    // default path below a fallback base that is not private is neither created nor read.
    bool Start(LRunLoop* loop, Handler added, Handler removed);
    void Stop();
    // Why the last Start could not create or watch the directory, naming it; empty otherwise.
    const std::string& Failure() const { return mFailure; }

private:
    // False for a default path below a fallback base that is not private.
    bool IsTrusted() const;
    std::vector<std::string> RecordNames() const;
    std::string RecordPath(const std::string& name) const;
    // Brings the known records in line with the directory, reporting the differences.
    void Rescan();
    void HandleEvents();
    // Reports a new record, or a replaced one as a removal and an arrival.
    void RecordWritten(const std::string& name);
    void RecordGone(const std::string& name);

    LString mPath;
    LString mPrivateBase; // FallbackBase() when the path lies below it, else empty
    int mInotify = -1;
    LRunLoopSource mSource;
    Handler mAdded;
    Handler mRemoved;
    std::map<std::string, LIOService> mRecords; // by file name
    std::string mFailure;
};
