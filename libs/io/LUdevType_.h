#pragma once

#include <utility>

// Owning holder of one reference-counted libudev object. Assigning a raw reference retains it;
// `<<` adopts a reference the caller already owns. The holder releases its reference when it
// is replaced or destroyed; copies share the object.
template <class T, T* (*Ref)(T*), T* (*Unref)(T*)>
class LUdevType_ {
public:
    LUdevType_() = default;
    explicit LUdevType_(T* ref) { *this = ref; }
    LUdevType_(const LUdevType_& other) { *this = other.mRef; }
    LUdevType_(LUdevType_&& other) noexcept : mRef(std::exchange(other.mRef, nullptr)) {}
    virtual ~LUdevType_() { ReleaseUdevType(); }

    LUdevType_& operator=(const LUdevType_& other) { return *this = other.mRef; }
    LUdevType_& operator=(LUdevType_&& other) noexcept {
        if (this != &other) {
            ReleaseUdevType();
            mRef = std::exchange(other.mRef, nullptr);
        }
        return *this;
    }
    LUdevType_& operator=(T* ref) {
        if (ref == mRef) return *this;
        if (ref) Ref(ref);
        ReleaseUdevType();
        mRef = ref;
        return *this;
    }
    // Takes over the caller's reference.
    LUdevType_& operator<<(T* ref) {
        if (ref == mRef) {
            if (ref) Unref(ref); // already held once: drop the extra reference
            return *this;
        }
        ReleaseUdevType();
        mRef = ref;
        return *this;
    }

    void ReleaseUdevType() {
        if (mRef) Unref(std::exchange(mRef, nullptr));
    }

    T* Get() const { return mRef; }
    explicit operator bool() const { return mRef != nullptr; }

private:
    T* mRef = nullptr;
};
