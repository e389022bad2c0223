#pragma once

#include "LString.h"

#include <string>
#include <vector>

class CtlOutput;
class CtlSession;

// Values to write to the switcher: numbers and texts. Apply reads the current values, writes
// only those that differ and reads them back, so that nothing is taken for done that the
// switcher did not confirm: a write that read back unchanged without a refusal is sent once
// more. set, set-text and restore all write through it.
class CtlChangeSet {
public:
    struct _SApply {
        bool mDryRun = false;
        bool mVerbose = false;     // unchanged settings too
        bool mShowSecrets = false; // secret texts in clear
    };

    // A stored value for id (already checked against the parameter's range).
    void AddValue(long id, int value);
    // A text of length characters from id (characters 32 to 127, at most length of them).
    void AddText(long id, int length, const char* text);
    // Keeps only the entries for which keep(id) holds.
    template <class Keep>
    void Filter(Keep keep) {
        std::erase_if(mItems, [&](const _SItem& item) { return !keep(item.mPrmID); });
    }

    // One record per setting that differs (verbose: per setting): "ID LABEL: OLD -> NEW", "ID
    // LABEL: kept OLD instead of NEW" (refused or altered), "ID LABEL: NEW written, not
    // confirmed", "ID LABEL: not written"; on a dry run "would change ID LABEL: OLD -> NEW".
    // A CtlStatus: kNoDevice when the link was lost, kNoAnswer when a write is not confirmed,
    // kRefused when one did not take, else kOK.
    int Apply(CtlSession& session, const _SApply& how, CtlOutput& out);
    // "N of M settings changed" and, when not all written ones were confirmed, the counts.
    std::string Summary(bool dryRun) const;

    int Count() const { return static_cast<int>(mItems.size()); }
    int ChangedCount() const { return mChanged; }
    int WrittenCount() const { return mWritten; }

private:
    enum class EState { Same, Differs, Unsent, Sent, Confirmed, Kept, Refused, Unknown };

    struct _SItem {
        long mPrmID;
        int mLength; // 0 for a number, else the text's length
        int mValue;
        LString mText;
        EState mState = EState::Same;
        std::string mBefore;
        std::string mWanted;
    };

    static int Span(CtlSession& session, const _SItem& item);
    static bool Differs(CtlSession& session, const _SItem& item);
    static void Store(CtlSession& session, const _SItem& item, long origin);
    static std::string Shown(CtlSession& session, const _SItem& item, bool showSecrets);
    // Sends every item in state from and reads them back; each ends Confirmed, Kept, Refused,
    // Unknown or Unsent. The link's status.
    int WriteAndConfirm(CtlSession& session, EState from, bool showSecrets);

    std::vector<_SItem> mItems;
    int mChanged = 0;
    int mWritten = 0;
    int mUnknown = 0;
    int mKept = 0;
    bool mReadFailed = false; // before anything was written
};
