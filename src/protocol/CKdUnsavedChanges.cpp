#include "CKdUnsavedChanges.h"

CKdUnsavedChanges::EState CKdUnsavedChanges::State(const std::string& serial) const {
    const auto found = mStates.find(serial);
    return found == mStates.end() ? EState::Unknown : found->second;
}

void CKdUnsavedChanges::Wrote(const std::string& serial, long id, CKdPrmManager::EWrite what) {
    using W = CKdPrmManager::EWrite;
    if (id != kParameterSave) {
        // A refused write changed nothing, but the ones before it may have: the mark stays.
        if (what == W::Sent) mStates[serial] = EState::Unsaved;
    } else if (what == W::Accepted) {
        mStates[serial] = EState::Saved;
    }
}
