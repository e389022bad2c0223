#pragma once

#include <pthread.h>

// A non-recursive POSIX mutex with default attributes.
class LMutex {
public:
    LMutex();
    virtual ~LMutex();
    LMutex(const LMutex&) = delete;
    LMutex& operator=(const LMutex&) = delete;

    // Blocks until locked, or with tryOnly tries once. True when the mutex is now held.
    virtual bool Lock(bool tryOnly);
    virtual void Unlock();

private:
    pthread_mutex_t mMutex;
};
