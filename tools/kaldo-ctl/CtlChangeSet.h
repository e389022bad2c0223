#pragma once

#include "LString.h"

#include <cstdio>
#include <vector>

class CtlSession;

// Values to write to the switcher: numbers and texts. Apply reads the current values, writes
// only those that differ, prints one line per parameter and reads the written ones back, so
// a refused or altered write is reported. set, set-text and restore all write through it.
class CtlChangeSet {
public:
    // A stored value for id (already checked against the parameter's range).
    void AddValue(long id, int value);
    // A text of length characters from id (characters 32 to 127, at most length of them).
    void AddText(long id, int length, const char* text);

    // Prints "ID LABEL: OLD -> NEW" for each change ("would change" on a dry run, which stores
    // nothing on the switcher), and "ID LABEL: VALUE (unchanged)" when verbose. A CtlStatus.
    int Apply(CtlSession& session, bool dryRun, bool verbose, FILE* out);
    int ChangedCount() const { return mChanged; }
    int Count() const { return static_cast<int>(mItems.size()); }

private:
    struct _SItem {
        long mPrmID;
        int mLength; // 0 for a number, else the text's length
        int mValue;
        LString mText;
    };

    static bool Differs(CtlSession& session, const _SItem& item);
    static void Store(CtlSession& session, const _SItem& item, long origin);
    static LString Shown(CtlSession& session, const _SItem& item);

    std::vector<_SItem> mItems;
    int mChanged = 0;
};
