#pragma once

#include "LString.h"

#include <sys/types.h>

// The report channel of one HID device as LIOHIDDevice uses it: a descriptor for the run loop
// to watch, one output report per write, one input report per read. Reports cross it without
// their report ID; every report of the devices we talk to has ID 0.
class LHidTransport {
public:
    explicit LHidTransport(const char* path) : mPath(path) {}
    virtual ~LHidTransport() { Close(); }
    LHidTransport(const LHidTransport&) = delete;
    LHidTransport& operator=(const LHidTransport&) = delete;

    // Opens the channel with non-blocking reads; exclusive keeps other openers out where the
    // channel can tell them apart.
    virtual bool Open(bool exclusive) = 0;
    void Close();
    int Descriptor() const { return mDescriptor; }

    // Sends the bytes as one output report; true when all of them went out.
    virtual bool WriteReport(const void* bytes, size_t length) = 0;
    // Takes one input report into buffer: its length (0 for an empty report), or -1 with errno
    // EAGAIN when none is queued, EMSGSIZE when it was longer than size (it is discarded), or
    // any other value when the device is gone.
    virtual ssize_t ReadReport(void* buffer, size_t size) = 0;

protected:
    LString mPath;
    int mDescriptor = -1;
};
