#include "CtlChangeSet.h"

#include "CtlSession.h"
#include "CtlStatus.h"
#include "CtlValueText.h"

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
    if (!item.mLength) return CtlValueText::PrmText(session, item.mPrmID);
    return LString("\"") + session.StringValue(item.mPrmID, item.mLength, 1, 0) + "\"";
}

int CtlChangeSet::Apply(CtlSession& session, bool dryRun, bool verbose, FILE* out) {
    std::vector<CtlSession::_SSpan> all, written;
    for (const _SItem& item : mItems)
        all.push_back({item.mPrmID,
                       item.mLength ? item.mLength : CtlValueText::PrmSpan(session, item.mPrmID)});
    if (int status = session.FetchSpans(all)) return status;

    const int refusals = session.RefusalCount();
    mChanged = 0;
    for (size_t i = 0; i < mItems.size(); ++i) {
        const _SItem& item = mItems[i];
        const LString label = CtlValueText::Label(item.mPrmID);
        if (!Differs(session, item)) {
            if (verbose)
                std::fprintf(out, "%ld %s: %s (unchanged)\n", item.mPrmID, label.CString(),
                             Shown(session, item).CString());
            continue;
        }
        const LString before = Shown(session, item);
        Store(session, item, dryRun ? kFromSwitcher : kEdit);
        std::fprintf(out, "%s%ld %s: %s -> %s\n", dryRun ? "would change " : "", item.mPrmID,
                     label.CString(), before.CString(), Shown(session, item).CString());
        written.push_back(all[i]);
        ++mChanged;
    }
    if (dryRun || written.empty()) return CtlStatus::kOK;

    // The read-back also collects the answers to the sets, which went out without a wait.
    const int status = session.FetchSpans(written);
    if (status == CtlStatus::kNoAnswer) return status;
    if (session.RefusalCount() != refusals)
        return CtlStatus::Fail(CtlStatus::kRefused, "the switcher refused a write: %s",
                               session.LastRefusal().CString());
    for (const _SItem& item : mItems)
        if (Differs(session, item))
            return CtlStatus::Fail(CtlStatus::kRefused, "the switcher kept %s for %ld (%s)",
                                   Shown(session, item).CString(), item.mPrmID,
                                   CtlValueText::Label(item.mPrmID).CString());
    return CtlStatus::kOK;
}
