#pragma once

#include "LString.h"

#include <cstdio>
#include <vector>

class CtlSession;

// Values to write to the switcher: numbers and texts. Apply reads the current values, writes
// only those that differ and reads them back, so that a refused or altered write is reported,
// not taken for done. set, set-text and restore all write through it.
class CtlChangeSet {
public:
    // A stored value for id (already checked against the parameter's range).
    void AddValue(long id, int value);
    // A text of length characters from id (characters 32 to 127, at most length of them).
    void AddText(long id, int length, const char* text);

    // Prints one line per parameter written: "ID LABEL: OLD -> NEW", or "ID LABEL: kept OLD
    // instead of NEW" when the switcher refused or altered it; on a dry run, which writes
    // nothing, "would change ID LABEL: OLD -> NEW". Verbose adds "ID LABEL: VALUE (unchanged)".
    // A CtlStatus: kRefused when a write did not take.
    int Apply(CtlSession& session, bool dryRun, bool verbose, FILE* out);
    int Count() const { return static_cast<int>(mItems.size()); }
    int ChangedCount() const { return mChanged; }
    int KeptCount() const { return mKept; }

private:
    struct _SItem {
        long mPrmID;
        int mLength; // 0 for a number, else the text's length
        int mValue;
        LString mText;
    };

    static int Span(CtlSession& session, const _SItem& item);
    static bool Differs(CtlSession& session, const _SItem& item);
    static void Store(CtlSession& session, const _SItem& item, long origin);
    static LString Shown(CtlSession& session, const _SItem& item);

    std::vector<_SItem> mItems;
    int mChanged = 0;
    int mKept = 0;
};
