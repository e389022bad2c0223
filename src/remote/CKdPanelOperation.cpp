#include "CKdPanelOperation.h"

#include "CKdPrmCatalogue.h"
#include "CKdPrmManager.h"
#include "CKdPrmSideEffects.h"

#include <algorithm>

namespace {

// Bytes of the parameter at id on the link; execute identifiers and unknown ones take one.
int WidthOf(long id) {
    const CKdPrmCatalogue::_SPrmRow* row = CKdPrmCatalogue::FindRow(id);
    return row ? CKdPrmCatalogue::Width(row->mType) : 1;
}

void WriteAndRecordValue(CKdPrmManager& session, long id, int value) {
    const uint8_t bytes[] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    const int width = WidthOf(id);
    CKdPanelOperation::WriteAndRecord(session, id, bytes, width, width);
}

constexpr int kFullSize = 3840;

} // namespace

void CKdPanelOperation::Write(CKdPrmManager& session, long id, const uint8_t* bytes, int count) {
    session.SendRoiPackets(id, bytes, count);
    CKdPrmSideEffects::Report(session, id, bytes, count);
}

void CKdPanelOperation::WriteAndRecord(CKdPrmManager& session, long id, const uint8_t* bytes,
                                       int count, int recordCount) {
    Write(session, id, bytes, count);
    session.SetValueByHost(id, bytes, recordCount);
}

void CKdPanelOperation::Run(CKdPrmManager& session) const {
    switch (mAction) {
    case kNothing:
        return;
    case kSet:
        WriteAndRecordValue(session, mPrmID, mValue);
        return;
    case kStep: {
        session.RequestParameter(mPrmID, WidthOf(mPrmID), kReadBackWaitMs);
        const int value = session.Value(mPrmID, 0);
        // Never past the limit, and never wrapping: at the limit the limit is written again.
        const int moved = mValue > 0 ? std::min(value, mArg - mValue) + mValue
                                     : std::max(value, mArg - mValue) + mValue;
        WriteAndRecordValue(session, mPrmID, moved);
        return;
    }
    case kSpeed: {
        const auto speed = static_cast<uint8_t>(mValue);
        Write(session, mPrmID, &speed, 1);
        return;
    }
    case kExecute: {
        session.SendExecPacket(mPrmID, mValue);
        const auto value = static_cast<uint8_t>(mValue);
        CKdPrmSideEffects::Report(session, mPrmID, &value, 1);
        return;
    }
    case kRecall: {
        // Preset, target, "ROI Change Cut" 0, "ROI Change Auto" 1; preset and target recorded.
        const uint8_t bytes[] = {uint8_t(mValue - 1), uint8_t(mArg), 0, 1};
        WriteAndRecord(session, mPrmID, bytes, 4, 2);
        return;
    }
    case kStore: {
        // Target, number, "ROI Save Exec" 1; target and number recorded.
        const uint8_t bytes[] = {uint8_t(mArg), uint8_t(mValue - 1), 1};
        WriteAndRecord(session, mPrmID, bytes, 3, 2);
        return;
    }
    case kZero: {
        const uint8_t zeros[8] = {};
        const int count = std::clamp<int>(mValue, 0, sizeof zeros);
        WriteAndRecord(session, mPrmID, zeros, count, count);
        return;
    }
    case kFull: {
        const uint8_t bytes[] = {kFullSize & 0xFF, kFullSize >> 8, 0, 0, 0, 0};
        WriteAndRecord(session, mPrmID, bytes, sizeof bytes, sizeof bytes);
        return;
    }
    }
}
