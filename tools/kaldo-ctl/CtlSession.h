#pragma once

#include "CKdPrmManager.h"

#include <vector>

class CtlOutput;

// The session as kaldo-ctl uses it: the app's session, which ignores the status of answers,
// plus a record of every answer with a non-zero status, so that a refused request or write is
// reported: each refusal is printed as it arrives. Results are CtlStatus codes.
class CtlSession : public CKdPrmManager {
public:
    // Version requests (200 ms each) before a silent switcher counts as not answering.
    static constexpr int kConnectAttempts = 5;

    CtlSession();

    // Time-out of one request and how often a request without an answer is sent again.
    void SetPatience(int timeoutMs, int retries) {
        mTimeoutMs = timeoutMs;
        mRetries = retries;
    }
    // Where long reads (many requests) count their progress; null: nowhere.
    void SetProgress(CtlOutput* output) { mProgress = output; }

    // Binds the stream and waits until the switcher has answered the version request.
    // kNoAnswer or kRefused (not printed) otherwise.
    int Connect(LStream* stream);
    // Requests count identifiers from id, again after a time-out as often as the retries allow;
    // kNoAnswer when no answer came, kNoDevice when the link failed (both printed), kRefused
    // when an answer that arrived meanwhile (also one to an earlier write) was refused.
    int Fetch(long id, int count);
    // Every entry of a request table, as Fetch.
    int FetchTable(const _SPrmReqInfo* table);
    // Identifiers mPrmID..mPrmID+mCount-1 of every span; adjoining and overlapping spans are
    // merged, so each identifier is asked for once, and empty ones skipped. Goes on after a
    // refusal, not after a time-out; the first failure.
    // With unanswered, goes on after a time-out too and collects the merged runs that got no
    // answer (after a lost link: every run not yet read).
    int FetchSpans(std::vector<_SPrmReqInfo> spans,
                   std::vector<_SPrmReqInfo>* unanswered = nullptr);

    int RefusalCount() const { return mRefusalCount; }
    // Packets that could not be written since the session began.
    int FailedSends() const { return mFailedSends; }
    // Whether the switcher refused a write that included id.
    bool WriteRefused(long id) const;

    int SendCmdPacket(const CKdCmdPacket& packet, int waitMs) override;
    void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) override;

private:
    // Fetch for one request of at most kMaxRequestCount identifiers.
    int FetchRequest(long id, int count);

    int mRefusalCount = 0;
    int mFailedSends = 0;
    int mTimeoutMs = kRequestWaitMs;
    int mRetries = 1;
    CtlOutput* mProgress = nullptr;
    std::vector<std::pair<long, int>> mRefusedWrites; // first identifier, byte count
    int mLastSend = kSendOK;                          // result of the last SendCmdPacket
    std::vector<CKdCmdPacket> mSent; // the last packet sent with each sequence number
};
