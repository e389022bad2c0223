#include "CKdPrmSideEffects.h"

#include "LNotificationCenter.h"

#include <algorithm>

namespace {

using Row = CKdPrmSideEffects::_SRow;

// The identifiers whose write acts (only with a non-zero value unless "any"), and the
// identifiers the switcher changes in answer.
// clang-format off
constexpr Row kRows[] = {
//   written    any    changed
    {132, 133, false, 134,  138}, // still capture, erase: Still Status, Still Memory 1-4
    {173, 174, false, 180,  196}, // preset recall: the target layer's size, position, source
    {178, 178, false, 320,  396}, // preset save: the saved preset's size, position, source
    {187, 189, true,  180,  185}, // layer [1] zoom, pan, tilt speed: its size and position
    {197, 199, true,  190,  195}, // layer [2]
    {206, 208, false, 200,  201}, // [1], [2], MODE buttons: Transition Value
    {209, 209, false, 202,  205}, // Auto Fade button: Video and Audio Fade Value
    {999, 999, false,   0, 1000}, // factory reset: every setting
};
// clang-format on

} // namespace

std::span<const Row> CKdPrmSideEffects::Rows() {
    return kRows;
}

bool CKdPrmSideEffects::Changes(long id, const uint8_t* bytes, int count, int32_t& first,
                                int32_t& last) {
    bool changes = false;
    for (int k = 0; k < count; ++k)
        for (const Row& row : kRows) {
            if (id + k < row.mFirstPrmID || id + k > row.mLastPrmID) continue;
            if (!row.mAnyValue && bytes[k] == 0) continue;
            first = changes ? std::min(first, row.mFirstChanged) : row.mFirstChanged;
            last = changes ? std::max(last, row.mLastChanged) : row.mLastChanged;
            changes = true;
        }
    return changes;
}

void CKdPrmSideEffects::Report(CKdPrmManager& session, long id, const uint8_t* bytes, int count) {
    int32_t first, last;
    if (!Changes(id, bytes, count, first, last)) return;
    auto* changed = new _SChanged(first, last);
    LNotificationCenter::Default().Post(kNotification, &session, changed);
    LObject::ReleaseObject(changed);
}

bool CKdPrmSideEffects::Reads(const CKdPrmManager::_SPrmReqInfo* table, int32_t first,
                              int32_t last) {
    for (; table && table->mCount >= 1; ++table)
        if (table->mPrmID <= last && table->mPrmID + table->mCount - 1 >= first) return true;
    return false;
}
