#pragma once

#include "LObjPtr_.h"

#include <cstdint>

// Ordered list of counted objects that grows by 8 slots. `list << new T` hands the creator's
// reference to the list.
template <class T>
class LObjList_ {
public:
    LObjList_() = default;
    LObjList_(const LObjList_& other) { CopyFrom(other); }
    virtual ~LObjList_() { ClearObjList(); }

    LObjList_& operator=(const LObjList_& other) {
        if (this != &other) CopyFrom(other);
        return *this;
    }

    // Appends p (retained); -1 for null, else the new element's index.
    virtual int AppendObject(T* p) {
        if (!p) return -1;
        if (mNumOfObjects >= mSizeOfList) Grow(mSizeOfList + 8);
        mObjectList[mNumOfObjects] = p;
        return mNumOfObjects++;
    }

    // Appends p and takes over the caller's reference.
    virtual int operator<<(T* p) {
        int index = AppendObject(p);
        LObject::ReleaseObject(static_cast<LObject*>(p));
        return index;
    }

    // Removes the first slot holding p; later elements move down, order is kept.
    virtual void RemoveObject(T* p) {
        for (int i = 0; i < mNumOfObjects; ++i) {
            if (mObjectList[i].Get() != p) continue;
            --mNumOfObjects;
            for (int k = i; k < mNumOfObjects; ++k)
                mObjectList[k] = mObjectList[k + 1].Get();
            mObjectList[mNumOfObjects] = nullptr;
            return;
        }
    }

    void ClearObjList() {
        delete[] mObjectList;
        mObjectList = nullptr;
        mNumOfObjects = 0;
        mSizeOfList = 0;
    }

    T* ObjectAtIndex(int i) const {
        return (i >= 0 && i < mNumOfObjects) ? mObjectList[i].Get() : nullptr;
    }
    int Count() const { return mNumOfObjects; }
    int Capacity() const { return mSizeOfList; }

protected:
    // Releases the element in slot i and leaves the slot empty; later elements stay in place.
    void ClearSlot(int i) { mObjectList[i] = nullptr; }
    // Drops the empty slots; the elements keep their order and their counts.
    void RemoveEmptySlots() {
        int kept = 0;
        for (int i = 0; i < mNumOfObjects; ++i) {
            if (!mObjectList[i]) continue;
            if (i != kept) {
                mObjectList[kept] = mObjectList[i].Get();
                mObjectList[i] = nullptr;
            }
            ++kept;
        }
        mNumOfObjects = kept;
    }

private:
    void Grow(int newSize) {
        auto* grown = new LObjPtr_<T>[newSize];
        for (int i = 0; i < mNumOfObjects; ++i)
            grown[i] = mObjectList[i].Get();
        delete[] mObjectList;
        mObjectList = grown;
        mSizeOfList = newSize;
    }

    void CopyFrom(const LObjList_& other) {
        ClearObjList();
        if (other.mSizeOfList == 0) return;
        mObjectList = new LObjPtr_<T>[other.mSizeOfList];
        mSizeOfList = other.mSizeOfList;
        mNumOfObjects = other.mNumOfObjects;
        for (int i = 0; i < mNumOfObjects; ++i)
            mObjectList[i] = other.mObjectList[i].Get();
    }

    LObjPtr_<T>* mObjectList = nullptr;
    int32_t mNumOfObjects = 0;
    int32_t mSizeOfList = 0;
};
