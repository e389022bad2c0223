#pragma once

#include "LObject.h"

class CKdUpdater;

// The object of a "KdUpdateNotification": which updater sent it (not owned), what happened and
// its value.
class KdUpdateInformation : public LObject {
public:
    KdUpdateInformation(CKdUpdater* updater, int type, int value)
        : mUpdater(updater), mType(type), mValue(value) {}

    CKdUpdater* Updater() const { return mUpdater; }
    int Type() const { return mType; }
    int Value() const { return mValue; }

private:
    CKdUpdater* mUpdater;
    int mType;
    int mValue;
};
