#pragma once

#include "CKdPrmManager.h"

#include <array>
#include <vector>

class CKdSettingsReport;

// A session that waits for its answers (kaldo-ctl, and the window's backups on a thread of their
// own): the app's session, which ignores the status of answers, plus a record of every answer
// with a non-zero status, so that a refused request or write is reported: each refusal is told
// to the report as it arrives. Every write (command 0x20) is numbered as it goes out and
// confirmed only by the answer that carries its own sequence number, never by a later read.
// Results are KdSettingsStatus codes; failures are told to the report.
class CKdSettingsSession : public CKdPrmManager {
public:
    // Version requests (200 ms each) before a silent switcher counts as not answering.
    static constexpr int kConnectAttempts = 5;

    explicit CKdSettingsSession(CKdSettingsReport& report);

    CKdSettingsReport& Report() const { return mReport; }

    // Time-out of one request and how often a request without an answer is sent again.
    void SetPatience(int timeoutMs, int retries) {
        mTimeoutMs = timeoutMs;
        mRetries = retries;
    }
    // Whether long reads (many requests) tell the report their progress.
    void SetProgress(bool shown) { mProgress = shown; }

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

    // Refused answers to requests other than writes.
    int RefusalCount() const { return mRefusalCount; }
    // Packets that could not be written since the session began.
    int FailedSends() const { return mFailedSends; }

    // A write's result: its answer (or that of a copy sent again) with status 0 confirms it, one
    // with another status refuses it; without either it is pending.
    enum class EWrite { Pending, Confirmed, Refused };
    // The number the next write gets; writes are numbered 0, 1, ... in the order they go out.
    long NextWrite() const { return static_cast<long>(mWrites.size()); }
    EWrite WriteResult(long write) const { return mWrites[write].mResult; }
    // The status of the answer that refused the write (-1 for an answer without one).
    int WriteStatus(long write) const { return mWrites[write].mStatus; }
    // Waits for the answers to the writes first..end-1 and sends each write that got none within
    // the time-out again, as often as the retries allow (resend false: never, for a command that
    // must not act twice). kOK when every one was answered, kNoAnswer when some were not (not
    // printed), kNoDevice when the link failed (printed).
    int ConfirmWrites(long first, long end, bool resend = true);

    // Passes over sequence numbers that an unanswered write still carries, so that its late
    // answer cannot confirm another packet.
    int CmdSequence() override;
    int SendCmdPacket(const CKdCmdPacket& packet, int waitMs) override;
    void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) override;

private:
    // Fetch for one request of at most kMaxRequestCount identifiers.
    int FetchRequest(long id, int count);
    // Decodes what arrives until none of the writes first..end-1 is pending, or nothing arrived
    // for one time-out, or twice the time-out has passed; kNoDevice (printed) when the link
    // failed.
    int AwaitWrites(long first, long end);
    bool AnyPending(long first, long end) const;

    struct _SWrite {
        CKdCmdPacket mPacket;
        EWrite mResult = EWrite::Pending;
        int mStatus = 0;
    };

    int mRefusalCount = 0;
    int mFailedSends = 0;
    int mTimeoutMs = kRequestWaitMs;
    int mRetries = 1;
    CKdSettingsReport& mReport;
    bool mProgress = false;
    int mLastSend = kSendOK;                // result of the last SendCmdPacket
    std::vector<CKdCmdPacket> mSent;        // the last packet sent with each sequence number
    std::vector<_SWrite> mWrites;           // every write, by number; a copy sent again is not one
    std::array<long, 256> mWriteOfSequence; // the write whose answer is awaited, -1 none
    long mResending = -1;                   // the write whose copy SendCmdPacket is sending
};
