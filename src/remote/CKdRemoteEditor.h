#pragma once

#include "CKdUdpLink.h"

#include <cstdint>
#include <functional>
#include <span>

class CKdPrmManager;
class LPrmConverter;

// The companion's dial browses a fixed list of parameters and edits them: each "enc" event
// selects a row (selection mode) or changes the row's value (edit mode), reads the parameter back
// from the switcher, writes it and answers with one line "id:name:value-text unit:percentage".
// No state is kept between events: each event names the parameter the companion shows.
class CKdRemoteEditor {
public:
    // One editable parameter.
    struct _SRemoteEditPrm {
        int32_t mPrmID;
        const char* mName;
        int32_t mKind; // a row of the kinds table
        int32_t mMin;
        int32_t mMax;
        const LPrmConverter* mConverter; // display text of a value; null: decimal
        const char* mUnit;               // appended to the value text; null: none
    };

    // Sends one reply line to the companion.
    using Reply = std::function<void(const char* text)>;

    // The session's wait restarts with every chunk that arrives, up to twice its length: a
    // read-back holds the event loop for 1000 ms at most, also on a line full of noise.
    static constexpr int kReadBackWaitMs = 500;

    explicit CKdRemoteEditor(Reply reply = udpSend) : mReply(std::move(reply)) {}

    // Handles one "enc" event: bits 20-29 the identifier shown, bit 9 selection mode, bit 8
    // coarse steps (or "execute"), bits 0-7 the signed step count. Edit mode acts only on the
    // row of exactly that identifier: for any other identifier nothing is read, written or
    // replied. When the read-back gets no answer, nothing is written and nothing is replied.
    void Edit(CKdPrmManager& session, int32_t eventNum) const;

    // The edit table, sorted by ascending identifier.
    static std::span<const _SRemoteEditPrm> RemoteEditPrmAddrLenTbl();
    // down 0: the first row at or above target, else the last row; down 1: the last row at or
    // below target, else the first row.
    static _SRemoteEditPrm GetRemoteEditPrm(int target, int down);
    // The row of exactly id; null when id has none.
    static const _SRemoteEditPrm* FindRemoteEditPrm(int id);

private:
    Reply mReply;
};
