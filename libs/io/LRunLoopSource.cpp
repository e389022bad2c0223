#include "LRunLoopSource.h"

LRunLoopSource::LRunLoopSource(int descriptor, LRunLoop::Callback onReadable)
    : mDescriptor(descriptor), mOnReadable(std::move(onReadable)) {}

LRunLoopSource::LRunLoopSource(const LRunLoopSource& other)
    : mDescriptor(other.mDescriptor), mOnReadable(other.mOnReadable) {}

LRunLoopSource& LRunLoopSource::operator=(const LRunLoopSource& other) {
    if (this == &other) return *this;
    RemoveRunLoopSource();
    mDescriptor = other.mDescriptor;
    mOnReadable = other.mOnReadable;
    return *this;
}

LRunLoopSource::~LRunLoopSource() {
    RemoveRunLoopSource();
}

bool LRunLoopSource::AddRunLoopSource(LRunLoop* loop) {
    if (mRunLoop) return true;
    if (!loop) loop = LRunLoop::Main();
    if (!loop || mDescriptor < 0 || !mOnReadable) return false;
    mSourceId = loop->AddSource(mDescriptor, mOnReadable);
    if (mSourceId > 0) mRunLoop = loop;
    return mRunLoop != nullptr;
}

void LRunLoopSource::RemoveRunLoopSource() {
    if (!mRunLoop) return;
    mRunLoop->RemoveSource(mSourceId);
    mRunLoop = nullptr;
    mSourceId = 0;
}
