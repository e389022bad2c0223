#pragma once

#include "CKdPrmManager.h"

#include <vector>

// The session as kaldo-ctl uses it: the app's session, which ignores the status of answers,
// plus a record of every answer with a non-zero status, so that a refused request or write is
// reported: each refusal is printed as it arrives. Results are CtlStatus codes.
class CtlSession : public CKdPrmManager {
public:
    // Version requests (200 ms each) before a silent switcher counts as not answering.
    static constexpr int kConnectAttempts = 5;

    CtlSession();

    // Binds the stream and waits until the switcher has answered the version request.
    // kNoAnswer or kRefused (not printed) otherwise.
    int Connect(LStream* stream);
    // Requests count identifiers from id; kNoAnswer on a time-out, kNoDevice when the link
    // failed (both printed), kRefused when an answer that arrived meanwhile (also one to an
    // earlier write) was refused.
    int Fetch(long id, int count);
    // Every entry of a request table, as Fetch.
    int FetchTable(const _SPrmReqInfo* table);
    // Identifiers mPrmID..mPrmID+mCount-1 of every span; adjoining and overlapping spans are
    // merged, so each identifier is asked for once, and empty ones skipped. Goes on after a
    // refusal, not after a time-out; the first failure.
    int FetchSpans(std::vector<_SPrmReqInfo> spans);

    int RefusalCount() const { return mRefusalCount; }

    int SendCmdPacket(const CKdCmdPacket& packet, int waitMs) override;
    void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) override;

private:
    int mRefusalCount = 0;
    int mLastSend = kSendOK;         // result of the last SendCmdPacket
    std::vector<CKdCmdPacket> mSent; // the last packet sent with each sequence number
};
