#include "LMutex.h"

LMutex::LMutex() {
    pthread_mutex_init(&mMutex, nullptr);
}

LMutex::~LMutex() {
    pthread_mutex_destroy(&mMutex);
}

bool LMutex::Lock(bool tryOnly) {
    return (tryOnly ? pthread_mutex_trylock(&mMutex) : pthread_mutex_lock(&mMutex)) == 0;
}

void LMutex::Unlock() {
    pthread_mutex_unlock(&mMutex);
}
