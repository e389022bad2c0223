#include "LFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LFile::LFile(const char* path) : mPath(path), mOpenFlags(O_RDWR | O_CREAT) {}

LFile::~LFile() {
    LFile::Close();
}

bool LFile::Open() {
    Close();
    mDescriptor = open(mPath, mOpenFlags | O_CLOEXEC, 0644);
    return mDescriptor >= 0;
}

void LFile::Close() {
    if (mDescriptor >= 0) close(mDescriptor);
    mDescriptor = -1;
}

void LFile::DrainWriteData() {
    if (mDescriptor >= 0) fsync(mDescriptor);
}

long LFile::Length() const {
    struct stat info {};
    return stat(mPath, &info) == 0 ? static_cast<long>(info.st_size) : 0;
}
