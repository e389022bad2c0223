#include "CKdChangeSet.h"

#include "CKdSecrets.h"
#include "CKdSettingsReport.h"
#include "CKdSettingsSession.h"
#include "CKdValueText.h"
#include "KdSettingsStatus.h"

#include <cstring>

namespace {
constexpr long kFromSwitcher = 1; // origin: stored without being sent
constexpr long kEdit = 0;         // origin: stored and sent

bool Overlaps(const CKdSettingsSession::_SPrmReqInfo& run, long id, int span) {
    return id < run.mPrmID + run.mCount && run.mPrmID < id + span;
}
} // namespace

void CKdChangeSet::AddValue(long id, int value) {
    mItems.push_back({id, 0, value, LString(), EState::Same, {}, {}, 0, 0, 0});
}

void CKdChangeSet::AddText(long id, int length, const char* text) {
    mItems.push_back({id, length, 0, LString(text), EState::Same, {}, {}, 0, 0, 0});
}

int CKdChangeSet::Span(CKdSettingsSession& session, const _SItem& item) {
    return item.mLength ? item.mLength : CKdValueText::PrmSpan(session, item.mPrmID);
}

bool CKdChangeSet::Differs(CKdSettingsSession& session, const _SItem& item) {
    if (item.mLength)
        return std::strcmp(session.StringValue(item.mPrmID, item.mLength, 1, 0).CString(),
                           item.mText.CString()) != 0;
    return session.Value(item.mPrmID, 0) != item.mValue;
}

void CKdChangeSet::Store(CKdSettingsSession& session, const _SItem& item, long origin) {
    if (!item.mLength) {
        session.SetValue(item.mPrmID, item.mValue, origin);
    } else if (origin == kEdit) {
        session.SetStringValue(item.mPrmID, item.mText, item.mLength, 1, kEdit);
    } else {
        // The session sends every changed text; the base only stores it.
        session.LPrmManager::SetStringValue(item.mPrmID, item.mText, item.mLength, 1, origin);
    }
}

std::string CKdChangeSet::Shown(CKdSettingsSession& session, const _SItem& item, bool showSecrets) {
    if (CKdSecrets::IsSecret(item.mPrmID) && !showSecrets) return CKdSecrets::kMask;
    if (!item.mLength) return CKdValueText::PrmText(session, item.mPrmID).CString();
    return std::string("\"") + session.StringValue(item.mPrmID, item.mLength, 1, 0).CString() +
           "\"";
}

int CKdChangeSet::WriteAndConfirm(CKdSettingsSession& session, bool showSecrets) {
    const long firstWrite = session.NextWrite();
    for (_SItem& item : mItems) {
        if (item.mState != EState::Differs) continue;
        const int failures = session.FailedSends();
        item.mFirstWrite = session.NextWrite();
        Store(session, item, kEdit);
        item.mEndWrite = session.NextWrite();
        if (item.mWanted.empty()) item.mWanted = Shown(session, item, showSecrets);
        const bool sent = session.FailedSends() == failures && item.mEndWrite > item.mFirstWrite;
        item.mState = sent ? EState::Sent : EState::Unsent;
    }
    int status = session.ConfirmWrites(firstWrite, session.NextWrite());
    // The read-back shows what the switcher holds now, for the lines and to find a write that
    // was answered but did not take.
    std::vector<CKdSettingsSession::_SPrmReqInfo> sent, unanswered;
    for (const _SItem& item : mItems)
        if (item.mState == EState::Sent) sent.push_back({item.mPrmID, Span(session, item)});
    if (status == KdSettingsStatus::kNoDevice)
        unanswered = sent;
    else if (session.FetchSpans(sent, &unanswered) == KdSettingsStatus::kNoDevice)
        status = KdSettingsStatus::kNoDevice;
    for (_SItem& item : mItems) {
        if (item.mState != EState::Sent) continue;
        item.mState = EState::Confirmed;
        for (long write = item.mFirstWrite; write < item.mEndWrite; ++write) {
            const CKdSettingsSession::EWrite result = session.WriteResult(write);
            if (result == CKdSettingsSession::EWrite::Refused) {
                item.mState = EState::Refused;
                item.mRefusal = session.WriteStatus(write);
                break;
            }
            if (result == CKdSettingsSession::EWrite::Pending) item.mState = EState::Unknown;
        }
        bool readBack = true;
        for (const auto& run : unanswered)
            if (Overlaps(run, item.mPrmID, Span(session, item))) readBack = false;
        if (item.mState == EState::Confirmed && readBack && Differs(session, item))
            item.mState = EState::Kept;
    }
    return status == KdSettingsStatus::kNoDevice ? status : KdSettingsStatus::kOK;
}

int CKdChangeSet::Apply(CKdSettingsSession& session, const _SApply& how) {
    std::vector<CKdSettingsSession::_SPrmReqInfo> all;
    for (const _SItem& item : mItems)
        all.push_back({item.mPrmID, Span(session, item)});
    mReadFailed = false;
    if (int status = session.FetchSpans(all)) {
        mReadFailed = status != KdSettingsStatus::kRefused;
        return status;
    }

    for (_SItem& item : mItems) {
        item.mBefore = Shown(session, item, how.mShowSecrets);
        item.mState = Differs(session, item) ? EState::Differs : EState::Same;
        if (item.mState == EState::Same || !how.mDryRun) continue;
        Store(session, item, kFromSwitcher); // stored only, to show it as the page would
        item.mWanted = Shown(session, item, how.mShowSecrets);
    }
    const int linkStatus =
        how.mDryRun ? KdSettingsStatus::kOK : WriteAndConfirm(session, how.mShowSecrets);

    mChanged = mRefused = mKept = mUnknown = mUnsent = 0;
    for (const _SItem& item : mItems) {
        const std::string label =
            std::to_string(item.mPrmID) + " " + CKdValueText::Label(item.mPrmID).CString();
        const char* state = nullptr;
        std::string line;
        switch (item.mState) {
        case EState::Same:
            if (!how.mVerbose) continue;
            state = "unchanged";
            line = label + ": " + item.mBefore + " (unchanged)";
            break;
        case EState::Differs:
            state = "would change";
            line = "would change " + label + ": " + item.mBefore + " -> " + item.mWanted;
            ++mChanged;
            break;
        case EState::Confirmed:
            state = "changed";
            line = label + ": " + item.mBefore + " -> " + item.mWanted;
            ++mChanged;
            break;
        case EState::Refused:
            state = "refused";
            line = label + ": refused (status " + std::to_string(item.mRefusal) + "), kept " +
                   Shown(session, item, how.mShowSecrets) + " instead of " + item.mWanted;
            ++mRefused;
            break;
        case EState::Kept:
            state = "kept";
            line = label + ": kept " + Shown(session, item, how.mShowSecrets) + " instead of " +
                   item.mWanted;
            ++mKept;
            break;
        case EState::Unknown:
        case EState::Sent:
            state = "not confirmed";
            line = label + ": " + item.mWanted + " sent, not confirmed (no answer)";
            ++mUnknown;
            break;
        case EState::Unsent:
            state = "not sent";
            line = label + ": not sent (" + item.mWanted + ")";
            ++mUnsent;
            break;
        }
        CKdSettingsReport::Json record;
        record["id"] = item.mPrmID;
        record["name"] = CKdValueText::Label(item.mPrmID).CString();
        record["before"] = item.mBefore;
        record["after"] = item.mState == EState::Same ? item.mBefore : item.mWanted;
        record["status"] = state;
        session.Report().Record(record, line);
    }
    if (linkStatus) return linkStatus;
    if (UnconfirmedCount()) return KdSettingsStatus::kNoAnswer;
    if (mRefused || mKept) return KdSettingsStatus::kRefused;
    return KdSettingsStatus::kOK;
}

std::string CKdChangeSet::Summary(bool dryRun) const {
    if (mReadFailed) return "the current values could not be read; nothing was written";
    std::string text = std::to_string(mChanged) + " of " + std::to_string(Count()) + " settings " +
                       (dryRun ? "differ" : "changed");
    const std::pair<int, const char*> counts[] = {
        {mRefused, "refused by the switcher"},
        {mKept, "answered but kept another value"},
        {mUnknown, "sent, not confirmed (no answer)"},
        {mUnsent, "not sent"},
    };
    for (const auto& [count, what] : counts)
        if (count) text += ", " + std::to_string(count) + " " + what;
    return text;
}
