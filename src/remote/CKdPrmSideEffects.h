#pragma once

#include "CKdPrmManager.h"
#include "LObject.h"

#include <cstdint>
#include <span>

// Writes after which the switcher changes other settings by itself: a recalled or stored ROI
// preset, a captured or erased still, a transition or fade button, the factory values, and the
// ROI movement speeds, which keep moving size and position. A page that shows such settings must
// read them again; the panel operations report each such write (one notification that the
// window coalesces into one read of its open page).
class CKdPrmSideEffects {
public:
    struct _SRow {
        int32_t mFirstPrmID; // the identifiers whose write acts
        int32_t mLastPrmID;
        bool mAnyValue;        // also a zero acts (a speed of 0 stops the movement where it is)
        int32_t mFirstChanged; // the identifiers the switcher then changes
        int32_t mLastChanged;
    };

    // The identifiers that a reported write changes: the notification's object.
    struct _SChanged : LObject {
        _SChanged(int32_t first, int32_t last) : mFirst(first), mLast(last) {}
        int32_t mFirst;
        int32_t mLast;
    };

    // Posted on the default notification centre with the session as sender and a _SChanged.
    static constexpr const char* kNotification = "KdPrmSideEffectNotification";

    static std::span<const _SRow> Rows();
    // The identifiers that writing count bytes from id makes the switcher change; false when it
    // changes no other setting.
    static bool Changes(long id, const uint8_t* bytes, int count, int32_t& first, int32_t& last);
    // Posts kNotification, with session as sender, when the write changes other settings.
    static void Report(CKdPrmManager& session, long id, const uint8_t* bytes, int count);
    // Whether a page's request table (ended by a count below 1) reads any of first…last.
    static bool Reads(const CKdPrmManager::_SPrmReqInfo* table, int32_t first, int32_t last);
};
