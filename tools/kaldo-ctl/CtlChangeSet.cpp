#include "CtlChangeSet.h"

#include "CtlSession.h"
#include "CtlStatus.h"
#include "CKdValueText.h"

namespace {
constexpr long kFromSwitcher = 1; // origin: stored without being sent
constexpr long kEdit = 0;         // origin: stored and sent
} // namespace

void CtlChangeSet::AddValue(long id, int value) {
    mItems.push_back({id, 0, value, LString()});
}

void CtlChangeSet::AddText(long id, int length, const char* text) {
    mItems.push_back({id, length, 0, LString(text)});
}

int CtlChangeSet::Span(CtlSession& session, const _SItem& item) {
    return item.mLength ? item.mLength : CKdValueText::PrmSpan(session, item.mPrmID);
}

bool CtlChangeSet::Differs(CtlSession& session, const _SItem& item) {
    if (item.mLength) return !(session.StringValue(item.mPrmID, item.mLength, 1, 0) == item.mText);
    return session.Value(item.mPrmID, 0) != item.mValue;
}

void CtlChangeSet::Store(CtlSession& session, const _SItem& item, long origin) {
    if (!item.mLength) {
        session.SetValue(item.mPrmID, item.mValue, origin);
    } else if (origin == kEdit) {
        session.SetStringValue(item.mPrmID, item.mText, item.mLength, 1, kEdit);
    } else {
        // The session sends every changed text; the base only stores it.
        session.LPrmManager::SetStringValue(item.mPrmID, item.mText, item.mLength, 1, origin);
    }
}

LString CtlChangeSet::Shown(CtlSession& session, const _SItem& item) {
    if (!item.mLength) return CKdValueText::PrmText(session, item.mPrmID);
    return LString("\"") + session.StringValue(item.mPrmID, item.mLength, 1, 0) + "\"";
}

int CtlChangeSet::Apply(CtlSession& session, bool dryRun, bool verbose, FILE* out) {
    std::vector<CtlSession::_SPrmReqInfo> all, written;
    for (const _SItem& item : mItems)
        all.push_back({item.mPrmID, Span(session, item)});
    if (int status = session.FetchSpans(all)) return status;

    struct Change {
        const _SItem* mItem;
        LString mBefore;
        LString mWanted;
    };
    std::vector<Change> changes;
    for (const _SItem& item : mItems) {
        if (!Differs(session, item)) {
            if (verbose)
                std::fprintf(out, "%ld %s: %s (unchanged)\n", item.mPrmID,
                             CKdValueText::Label(item.mPrmID).CString(),
                             Shown(session, item).CString());
            continue;
        }
        const LString before = Shown(session, item);
        Store(session, item, dryRun ? kFromSwitcher : kEdit);
        changes.push_back({&item, before, Shown(session, item)});
        written.push_back({item.mPrmID, Span(session, item)});
    }
    // The read-back also collects the answers to the writes, which went out without a wait.
    const int status = dryRun ? CtlStatus::kOK : session.FetchSpans(written);
    if (status == CtlStatus::kNoAnswer) return status;

    mChanged = mKept = 0;
    for (const Change& change : changes) {
        const _SItem& item = *change.mItem;
        const LString label = CKdValueText::Label(item.mPrmID);
        if (dryRun) {
            std::fprintf(out, "would change %ld %s: %s -> %s\n", item.mPrmID, label.CString(),
                         change.mBefore.CString(), change.mWanted.CString());
        } else if (Differs(session, item)) {
            std::fprintf(out, "%ld %s: kept %s instead of %s\n", item.mPrmID, label.CString(),
                         Shown(session, item).CString(), change.mWanted.CString());
            ++mKept;
            continue;
        } else {
            std::fprintf(out, "%ld %s: %s -> %s\n", item.mPrmID, label.CString(),
                         change.mBefore.CString(), change.mWanted.CString());
        }
        ++mChanged;
    }
    if (mKept) return CtlStatus::kRefused;
    return status;
}
