#pragma once

#include "LStream.h"

// An anonymous non-blocking pipe: Write goes to the write end, Read comes from the read end.
class LPipe : public LStream {
public:
    LPipe() = default;
    ~LPipe() override;

    bool Open() override;
    void Close() override;
    // Discards everything queued.
    void FlushReadData() override;
    int Descriptor() const override { return mWriteEnd; }
    int ReadDescriptor() const override { return mReadEnd; }

private:
    int mReadEnd = -1;
    int mWriteEnd = -1;
};
