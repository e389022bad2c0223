#pragma once

#include "LMutex.h"

// Scoped guard: locks the given mutex (if any) and unlocks what is still held at its end.
class LMutexLock {
public:
    explicit LMutexLock(LMutex* mutex) : mMutex(mutex) {
        if (mMutex) mMutex->Lock(false);
    }
    ~LMutexLock() { Unlock(); }
    LMutexLock(const LMutexLock&) = delete;
    LMutexLock& operator=(const LMutexLock&) = delete;

    void Unlock() {
        if (mMutex) {
            mMutex->Unlock();
            mMutex = nullptr;
        }
    }

private:
    LMutex* mMutex;
};
