#include "LPrmManager.h"

#include "LPrmManagerHandle.h"
#include "LPrmObserverList.h"

bool LPrmManager::_SRangeInfo::Check(int& value) const {
    if (mChecker) return mChecker(value);
    if (value < mMin)
        value = mMin;
    else if (value > mMax)
        value = mMax;
    return true;
}

bool LPrmManager::PrmCheckerREADONLY(int& value) {
    return false;
}

LPrmManager::LPrmManager() {
    mHandle = new LPrmManagerHandle(this);
    LObject::ReleaseObject(mHandle.Get()); // the smart pointer keeps the only reference
}

LPrmManager::~LPrmManager() {
    // Whoever still holds the handle now resolves to null instead of a freed manager.
    mHandle->mPrmManager = nullptr;
}

int LPrmManager::Value(long id, long origin) {
    _SPrmInfo info;
    if (!PrmInfo(id, info) || !info.mGetter) return 0;
    return info.mGetter(info, origin);
}

bool LPrmManager::SetValue(long id, int value, long origin) {
    _SPrmInfo info;
    _SRangeInfo range;
    if (!PrmInfo(id, info) || !RangeInfo(info.mRange, range)) return false;
    if (!range.Check(value)) return false;
    return WriteValue(id, info, value, origin);
}

LPrmManager::_SRangeInfo LPrmManager::ValueRange(long id) {
    _SPrmInfo info;
    _SRangeInfo range;
    if (!PrmInfo(id, info) || !RangeInfo(info.mRange, range)) range.Initialize();
    return range;
}

LString LPrmManager::StringValue(long id, int count, long step, long origin) {
    LString text;
    for (int k = 0; k < count; ++k) {
        const int c = Value(id + k, origin);
        if (c == 0) break;
        text << c;
    }
    return text;
}

bool LPrmManager::SetStringValue(long id, const char* text, int count, long step, long origin) {
    const char* next = text ? text : "";
    for (int k = 0; k < count; ++k) {
        const auto c = static_cast<signed char>(*next);
        if (c != 0) ++next;
        SetValue(id + k, c, origin);
    }
    return true;
}

void LPrmManager::AppendPrmObserver(LPrmObserver* observer) {
    if (!observer) return;
    if (LPrmObserverList* list = ObserverListWithObserver(observer)) list->AppendObject(observer);
}

void LPrmManager::InitValue(long id) {
    _SPrmInfo info;
    if (PrmInfo(id, info) && info.mSetter) info.mSetter(info, info.mInitValue, 0);
}

bool LPrmManager::WriteValue(long id, const _SPrmInfo& info, int value, long origin) {
    if (!info.mGetter || !info.mSetter) return false;
    if (Value(id, origin) == value) return true;
    info.mSetter(info, value, origin);
    ValueChanged(id, value, origin);
    return true;
}
