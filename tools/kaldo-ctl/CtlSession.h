#pragma once

#include "CKdPrmManager.h"

#include <vector>

// The session as kaldo-ctl uses it: the app's session, plus a record of every answer that came
// back with a non-zero status, so that a refused request or set is reported instead of ignored,
// and results as exit codes (CtlStatus).
class CtlSession : public CKdPrmManager {
public:
    // Version requests (200 ms each) before a silent switcher counts as not answering.
    static constexpr int kConnectAttempts = 5;

    // Binds the stream and waits until the switcher has answered the version request.
    int Connect(LStream* stream);
    // Requests count identifiers from id; kNoAnswer on a time-out, kRefused when an answer that
    // arrived meanwhile (also one to an earlier set) carried a non-zero status.
    int Fetch(long id, int count);
    // Every entry of a request table, as Fetch.
    int FetchTable(const _SPrmReqInfo* table);
    // Identifiers first..first+count-1 of every span; adjoining and overlapping spans are
    // merged, so each identifier is asked for once.
    struct _SSpan {
        long mFirst;
        int mCount;
    };
    int FetchSpans(std::vector<_SSpan> spans);

    int RefusalCount() const { return mRefusalCount; }
    // "command 0xNN #S status N" of the last refused answer.
    const LString& LastRefusal() const { return mLastRefusal; }

    void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) override;

private:
    int mRefusalCount = 0;
    LString mLastRefusal;
};
