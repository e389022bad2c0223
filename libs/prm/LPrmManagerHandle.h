#pragma once

#include "LObjPtr_.h"
#include "LObject.h"

class LPrmManager;

// Counted, non-owning reference to a manager. A handle made from a manager points at it until
// the manager is destroyed; a handle made from another handle forwards to that one.
class LPrmManagerHandle : public virtual LObject {
public:
    explicit LPrmManagerHandle(LPrmManager* manager) : mPrmManager(manager) {}
    explicit LPrmManagerHandle(LPrmManagerHandle* next) : mNextHandle(next) {}

    // Follows the chain; null once the manager is gone.
    LPrmManager* PrmManager() const;

private:
    friend class LPrmManager; // clears mPrmManager when it is destroyed

    LPrmManager* mPrmManager = nullptr;
    LObjPtr_<LPrmManagerHandle> mNextHandle;
};
