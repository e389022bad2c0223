#pragma once

#include "LObjPtr_.h"
#include "LObject.h"
#include "LString.h"

#include <cstdint>
#include <cstring>

class LPrmManagerHandle;
class LPrmObserver;
class LPrmObserverList;

// Generic store of a device's parameters. A subclass describes each parameter on demand
// (PrmInfo: storage, width, range, initial value, accessors) and each range (RangeInfo); the base
// builds reading, range-checked writing, text access and change notification on that.
//
// The last `origin` argument of the value operations tells where a change comes from; the base
// passes it on unchanged. Views pass 0.
class LPrmManager : public virtual LObject {
public:
    struct _SPrmInfo;
    using Getter = int (*)(const _SPrmInfo& info, long origin);
    using Setter = void (*)(const _SPrmInfo& info, int value, long origin);
    using Checker = bool (*)(int& value);

    // What the manager knows of one parameter.
    struct _SPrmInfo {
        void* mStorage = nullptr; // the value inside the manager object
        int32_t mWidth = 0;       // bytes on the device and in storage (1 or 2)
        int32_t mRange = 0;       // index passed to RangeInfo
        int32_t mInitValue = 0;   // written by InitValue
        Getter mGetter = nullptr;
        Setter mSetter = nullptr;
    };

    struct _SRangeInfo {
        int32_t mMin = 0;
        int32_t mMax = 0;
        Checker mChecker = nullptr; // replaces clamping when set; may change the value

        void Initialize() { *this = _SRangeInfo(); }
        // The checker's verdict, or clamps to mMin..mMax and accepts.
        bool Check(int& value) const;
    };

    // Accessors that read and write the storage as T, widening with T's signedness; the origin
    // is ignored.
    template <class T>
    static int Getter_(const _SPrmInfo& info, long origin) {
        T value;
        std::memcpy(&value, info.mStorage, sizeof value);
        return value;
    }
    template <class T>
    static void Setter_(const _SPrmInfo& info, int value, long origin) {
        const T stored = static_cast<T>(value);
        std::memcpy(info.mStorage, &stored, sizeof stored);
    }

    // Refuses every value: the parameter can only be stored through WriteValue.
    static bool PrmCheckerREADONLY(int& value);

    LPrmManager();
    LPrmManager(const LPrmManager&) = delete;
    LPrmManager& operator=(const LPrmManager&) = delete;
    ~LPrmManager() override;

    // The manager's own handle; it resolves to null once the manager is gone.
    LPrmManagerHandle* Handle() const { return mHandle; }

    // 0 for an unknown parameter.
    virtual int Value(long id, long origin);
    // The edit path: range check (or checker), then WriteValue. False when unknown or refused.
    virtual bool SetValue(long id, int value, long origin);
    // All zero when the parameter or its range is unknown.
    virtual _SRangeInfo ValueRange(long id);
    // Up to count character parameters from id, ending early at the first 0.
    virtual LString StringValue(long id, int count, long step, long origin);
    // Writes text into count character parameters from id, padded with 0.
    virtual bool SetStringValue(long id, const char* text, int count, long step, long origin);
    virtual void AppendPrmObserver(LPrmObserver* observer);
    // Stores the initial value without notification.
    virtual void InitValue(long id);
    // Stores without range check; ValueChanged runs only when the value really changes.
    virtual bool WriteValue(long id, const _SPrmInfo& info, int value, long origin);
    virtual void ValueChanged(long id, int value, long origin) {}
    virtual bool PrmInfo(long id, _SPrmInfo& info) { return false; }
    virtual bool RangeInfo(int range, _SRangeInfo& info) { return false; }
    virtual LPrmObserverList* ObserverListWithObserver(LPrmObserver* observer) { return nullptr; }

private:
    LObjPtr_<LPrmManagerHandle> mHandle;
};
