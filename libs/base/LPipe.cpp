#include "LPipe.h"

#include <fcntl.h>
#include <unistd.h>

LPipe::~LPipe() {
    LPipe::Close();
}

bool LPipe::Open() {
    Close();
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    mReadEnd = ends[0];
    mWriteEnd = ends[1];
    return true;
}

void LPipe::Close() {
    if (mReadEnd >= 0) close(mReadEnd);
    if (mWriteEnd >= 0) close(mWriteEnd);
    mReadEnd = mWriteEnd = -1;
}

void LPipe::FlushReadData() {
    char chunk[32];
    while (Read(chunk, sizeof chunk) > 0) {
    }
}
