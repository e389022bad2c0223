#pragma once

#include "CKdPrmManager.h"

#include <map>
#include <string>

// Whether each switcher, by serial number, holds settings in its working memory that a Parameter
// Save has not stored: every write other than the save marks it, an accepted save clears it. A
// switcher whose session was closed may have been changed or saved by other programs meanwhile:
// its state is unknown until its next write or save.
class CKdUnsavedChanges {
public:
    enum class EState { Saved, Unsaved, Unknown };

    static constexpr long kParameterSave = 1000;

    // Unknown for a switcher not heard of.
    EState State(const std::string& serial) const;
    // The state after one write of the session with that switcher.
    void Wrote(const std::string& serial, long id, CKdPrmManager::EWrite what);
    // The switcher's session closed: others may use it now.
    void Forget(const std::string& serial) { mStates.erase(serial); }

private:
    std::map<std::string, EState> mStates;
};
