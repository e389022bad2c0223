#include "LPrmManagerHandle.h"

LPrmManager* LPrmManagerHandle::PrmManager() const {
    if (mPrmManager) return mPrmManager;
    return mNextHandle ? mNextHandle->PrmManager() : nullptr;
}
