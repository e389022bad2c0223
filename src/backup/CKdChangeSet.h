#pragma once

#include "LString.h"

#include <string>
#include <vector>

class CKdSettingsSession;

// Values to write to the switcher: numbers and texts. Apply reads the current values, writes
// only those that differ, collects the answer to each write (sending a write without one again
// as the retries allow) and reads them back. A write counts as done only when its own answer
// confirmed it and the switcher then holds the value; one refused by its answer, one the
// switcher answered but holds another value for, and one without an answer are told apart.
// kaldo-ctl's set, set-text and restore and the window's import all write through it.
class CKdChangeSet {
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
    // LABEL: refused (status N), kept OLD instead of NEW", "ID LABEL: kept OLD instead of NEW"
    // (answered, but another value held), "ID LABEL: NEW sent, not confirmed (no answer)", "ID
    // LABEL: not sent (NEW)"; on a dry run "would change ID LABEL: OLD -> NEW".
    // Each record goes to the session's report. A KdSettingsStatus: kNoDevice when the link was
    // lost, kNoAnswer when a write is not confirmed, kRefused when one was refused or did not take,
    // else kOK.
    int Apply(CKdSettingsSession& session, const _SApply& how);
    // "N of M settings changed" and the counts of those refused, kept, not confirmed, not sent.
    std::string Summary(bool dryRun) const;

    int Count() const { return static_cast<int>(mItems.size()); }
    int ChangedCount() const { return mChanged; }
    // Settings sent to the switcher, confirmed or not.
    int WrittenCount() const { return mChanged + mRefused + mKept + mUnknown; }
    int RefusedCount() const { return mRefused; }
    int KeptCount() const { return mKept; }
    // Settings sent without an answer, and those not sent because the link failed.
    int UnconfirmedCount() const { return mUnknown + mUnsent; }

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
        long mFirstWrite = 0, mEndWrite = 0; // the session's numbers of its writes
        int mRefusal = 0;                    // the status of the refusing answer
    };

    static int Span(CKdSettingsSession& session, const _SItem& item);
    static bool Differs(CKdSettingsSession& session, const _SItem& item);
    static void Store(CKdSettingsSession& session, const _SItem& item, long origin);
    static std::string Shown(CKdSettingsSession& session, const _SItem& item, bool showSecrets);
    // Sends every item that differs, collects the answers and reads them back; each ends
    // Confirmed, Kept, Refused, Unknown or Unsent. The link's status.
    int WriteAndConfirm(CKdSettingsSession& session, bool showSecrets);

    std::vector<_SItem> mItems;
    int mChanged = 0;
    int mRefused = 0;
    int mKept = 0;
    int mUnknown = 0;
    int mUnsent = 0;
    bool mReadFailed = false; // before anything was written
};
