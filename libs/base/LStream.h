#pragma once

#include "LObject.h"
#include "LString.h"

#include <sys/types.h>

// Byte stream over POSIX descriptors. A closed stream moves nothing: reads and writes return 0.
class LStream : public virtual LObject {
public:
    ~LStream() override = default;

    virtual bool IsOpened() const { return Descriptor() >= 0; }
    virtual bool Open() { return false; }
    virtual void Close() {}
    virtual void FlushReadData() {}
    virtual void FlushWriteData() {}
    virtual void DrainWriteData() {}
    // Polls the read descriptor once; true when input (or hang-up) is signalled in time.
    virtual bool WaitReadable(int timeoutMs);
    virtual long Length() const { return 0; }
    virtual int Descriptor() const { return -1; }
    virtual int WriteDescriptor() const { return Descriptor(); }
    virtual int ReadDescriptor() const { return Descriptor(); }
    // One POSIX write/read: the byte count, possibly short, or -1.
    virtual ssize_t Write(const void* bytes, unsigned long count);
    virtual ssize_t Read(void* bytes, unsigned long count);
    // One line without its CR/LF terminator; leading CR/LF are skipped. Empty at end of data.
    virtual LString ReadLine();
};
