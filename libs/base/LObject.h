#pragma once

#include <cstdint>

class LMutex;

// Root of every reference-counted object. Classes derive from it virtually so that an object
// with two counted bases still carries one count. A new object has the count 1: its creator's.
class LObject {
public:
    LObject() = default;
    LObject(const LObject&) : LObject() {}
    LObject& operator=(const LObject&) { return *this; }
    virtual ~LObject() = default;

    virtual LObject* RetainObject();
    // Drops one reference; the release that takes the count to 0 destroys the object.
    virtual void ReleaseObject();
    virtual void DeleteObjectSelf();
    virtual LMutex* MutexForRetain();

    static void RetainObject(LObject* object) {
        if (object) object->RetainObject();
    }
    static void ReleaseObject(LObject* object) {
        if (object) object->ReleaseObject();
    }

    int32_t RetainCount() const { return mRetainCount; }

private:
    int32_t mRetainCount = 1;
};
