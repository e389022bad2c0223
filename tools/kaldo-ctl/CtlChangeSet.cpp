#include "CtlChangeSet.h"

#include "CKdValueText.h"
#include "CtlNames.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlStatus.h"

#include <cstring>

namespace {
constexpr long kFromSwitcher = 1; // origin: stored without being sent
constexpr long kEdit = 0;         // origin: stored and sent

bool Overlaps(const CtlSession::_SPrmReqInfo& run, long id, int span) {
    return id < run.mPrmID + run.mCount && run.mPrmID < id + span;
}
} // namespace

void CtlChangeSet::AddValue(long id, int value) {
    mItems.push_back({id, 0, value, LString(), EState::Same, {}, {}});
}

void CtlChangeSet::AddText(long id, int length, const char* text) {
    mItems.push_back({id, length, 0, LString(text), EState::Same, {}, {}});
}

int CtlChangeSet::Span(CtlSession& session, const _SItem& item) {
    return item.mLength ? item.mLength : CKdValueText::PrmSpan(session, item.mPrmID);
}

bool CtlChangeSet::Differs(CtlSession& session, const _SItem& item) {
    if (item.mLength)
        return std::strcmp(session.StringValue(item.mPrmID, item.mLength, 1, 0).CString(),
                           item.mText.CString()) != 0;
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

std::string CtlChangeSet::Shown(CtlSession& session, const _SItem& item, bool showSecrets) {
    if (CtlNames::IsSecret(item.mPrmID) && !showSecrets) return CtlNames::kMask;
    if (!item.mLength) return CKdValueText::PrmText(session, item.mPrmID).CString();
    return std::string("\"") + session.StringValue(item.mPrmID, item.mLength, 1, 0).CString() +
           "\"";
}

int CtlChangeSet::WriteAndConfirm(CtlSession& session, EState from, bool showSecrets) {
    std::vector<CtlSession::_SPrmReqInfo> sent, unanswered;
    for (_SItem& item : mItems) {
        if (item.mState != from) continue;
        const int failures = session.FailedSends();
        Store(session, item, kEdit);
        if (item.mWanted.empty()) item.mWanted = Shown(session, item, showSecrets);
        item.mState = session.FailedSends() == failures ? EState::Sent : EState::Unsent;
        if (item.mState == EState::Sent) sent.push_back({item.mPrmID, Span(session, item)});
    }
    // The read-back also collects the answers to the writes, which went out without a wait.
    const int status = session.FetchSpans(sent, &unanswered);
    for (_SItem& item : mItems) {
        if (item.mState != EState::Sent) continue;
        item.mState = EState::Confirmed;
        for (const auto& run : unanswered)
            if (Overlaps(run, item.mPrmID, Span(session, item))) item.mState = EState::Unknown;
        if (item.mState == EState::Confirmed && Differs(session, item))
            item.mState = session.WriteRefused(item.mPrmID) ? EState::Refused : EState::Kept;
    }
    return status == CtlStatus::kNoDevice ? status : CtlStatus::kOK;
}

int CtlChangeSet::Apply(CtlSession& session, const _SApply& how, CtlOutput& out) {
    std::vector<CtlSession::_SPrmReqInfo> all;
    for (const _SItem& item : mItems)
        all.push_back({item.mPrmID, Span(session, item)});
    mReadFailed = false;
    if (int status = session.FetchSpans(all)) {
        mReadFailed = status != CtlStatus::kRefused;
        return status;
    }

    for (_SItem& item : mItems) {
        item.mBefore = Shown(session, item, how.mShowSecrets);
        item.mState = Differs(session, item) ? EState::Differs : EState::Same;
        if (item.mState == EState::Same || !how.mDryRun) continue;
        Store(session, item, kFromSwitcher); // stored only, to show it as the page would
        item.mWanted = Shown(session, item, how.mShowSecrets);
    }
    int linkStatus = CtlStatus::kOK;
    if (!how.mDryRun) {
        linkStatus = WriteAndConfirm(session, EState::Differs, how.mShowSecrets);
        // A write that read back unchanged without a refusal was probably lost: once more.
        if (linkStatus == CtlStatus::kOK) {
            for (_SItem& item : mItems)
                if (item.mState == EState::Kept) item.mState = EState::Differs;
            linkStatus = WriteAndConfirm(session, EState::Differs, how.mShowSecrets);
        }
    }

    mChanged = mWritten = mUnknown = mKept = 0;
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
            ++mChanged, ++mWritten;
            break;
        case EState::Kept:
        case EState::Refused:
            state = item.mState == EState::Refused ? "refused" : "kept";
            line = label + ": kept " + Shown(session, item, how.mShowSecrets) + " instead of " +
                   item.mWanted;
            ++mKept, ++mWritten;
            break;
        case EState::Unknown:
        case EState::Sent:
            state = "unknown";
            line = label + ": " + item.mWanted + " written, not confirmed (no answer)";
            ++mUnknown, ++mWritten;
            break;
        case EState::Unsent:
            state = "not written";
            line = label + ": not written (" + item.mWanted + ")";
            ++mUnknown;
            break;
        }
        CtlOutput::Json record;
        record["id"] = item.mPrmID;
        record["name"] = CKdValueText::Label(item.mPrmID).CString();
        record["before"] = item.mBefore;
        record["after"] = item.mState == EState::Same ? item.mBefore : item.mWanted;
        record["status"] = state;
        out.Record(record, line);
    }
    if (linkStatus) return linkStatus;
    if (mUnknown) return CtlStatus::kNoAnswer;
    if (mKept) return CtlStatus::kRefused;
    return CtlStatus::kOK;
}

std::string CtlChangeSet::Summary(bool dryRun) const {
    if (mReadFailed) return "the current values could not be read; nothing was written";
    std::string text = std::to_string(mChanged) + " of " + std::to_string(Count()) + " settings " +
                       (dryRun ? "differ" : "changed");
    if (mKept) text += ", " + std::to_string(mKept) + " kept by the switcher";
    if (mUnknown)
        text += ", " + std::to_string(mUnknown) + " not confirmed (" + std::to_string(mWritten) +
                " written, " + std::to_string(mChanged + mKept) + " confirmed)";
    return text;
}
