#pragma once

#include "LStream.h"

// A file system path opened with open(2); read-write with create by default.
class LFile : public LStream {
public:
    explicit LFile(const char* path);
    ~LFile() override;

    bool Open() override;
    void Close() override;
    void DrainWriteData() override;
    // The size by path, so it is known before Open; 0 when the path cannot be examined.
    long Length() const override;
    int Descriptor() const override { return mDescriptor; }

    const LString& Path() const { return mPath; }
    void SetOpenFlags(int flags) { mOpenFlags = flags; }

protected:
    LString mPath;
    int mDescriptor = -1;
    int mOpenFlags;
};
