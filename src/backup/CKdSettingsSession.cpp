#include "CKdSettingsSession.h"

#include "CKdPacketText.h"
#include "CKdSettingsReport.h"
#include "KdSettingsStatus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace {
constexpr int kProgressRequests = 8; // reads shorter than this show no progress
} // namespace

CKdSettingsSession::CKdSettingsSession(CKdSettingsReport& report)
    : mReport(report), mSent(256, CKdCmdPacket(0, 0)) {
    mWriteOfSequence.fill(-1);
}

int CKdSettingsSession::Connect(LStream* stream) {
    const int refusals = mRefusalCount;
    SetDeviceStream(stream); // the first version request
    for (int attempt = 1;; ++attempt) {
        if (mRefusalCount != refusals) return KdSettingsStatus::kRefused;
        if (attempt == kConnectAttempts) return KdSettingsStatus::kNoAnswer;
        if (IsOnline()) return KdSettingsStatus::kOK; // asks again while offline
    }
}

int CKdSettingsSession::Fetch(long id, int count) {
    // Each request of at most 12 is asked again on its own, so that one lost answer costs one
    // request.
    int result = KdSettingsStatus::kOK;
    for (long first = id; first < id + count; first += kMaxRequestCount) {
        const int status =
            FetchRequest(first, std::min<long>(kMaxRequestCount, id + count - first));
        if (status == KdSettingsStatus::kNoAnswer || status == KdSettingsStatus::kNoDevice)
            return status;
        result = result ? result : status;
    }
    return result;
}

int CKdSettingsSession::FetchRequest(long id, int count) {
    const int refusals = mRefusalCount;
    for (int attempt = 0; attempt <= mRetries; ++attempt) {
        if (attempt)
            mReport.Note("no answer to the request of %ld..%ld within %d ms; asking again", id,
                         id + count - 1, mTimeoutMs);
        if (RequestParameter(id, count, mTimeoutMs))
            return mRefusalCount == refusals ? KdSettingsStatus::kOK : KdSettingsStatus::kRefused;
        if (mLastSend == kSendFailed)
            return mReport.Fail(KdSettingsStatus::kNoDevice, "lost the link to the switcher");
    }
    return mReport.Fail(KdSettingsStatus::kNoAnswer,
                        "no answer from the switcher within %d ms to the request of %ld..%ld "
                        "(%d %s)",
                        mTimeoutMs, id, id + count - 1, mRetries + 1,
                        mRetries ? "attempts" : "attempt");
}

int CKdSettingsSession::FetchTable(const _SPrmReqInfo* table) {
    for (; table && table->mCount >= 1; ++table)
        if (int status = Fetch(table->mPrmID, table->mCount)) return status;
    return KdSettingsStatus::kOK;
}

int CKdSettingsSession::FetchSpans(std::vector<_SPrmReqInfo> spans,
                                   std::vector<_SPrmReqInfo>* unanswered) {
    std::sort(spans.begin(), spans.end(),
              [](const _SPrmReqInfo& a, const _SPrmReqInfo& b) { return a.mPrmID < b.mPrmID; });
    std::vector<_SPrmReqInfo> runs;
    for (const _SPrmReqInfo& span : spans) {
        if (span.mCount < 1) continue;
        _SPrmReqInfo* last = runs.empty() ? nullptr : &runs.back();
        if (last && span.mPrmID <= last->mPrmID + last->mCount)
            last->mCount = static_cast<int32_t>(
                std::max(last->mPrmID + last->mCount, span.mPrmID + span.mCount) - last->mPrmID);
        else
            runs.push_back(span);
    }
    const auto requestsOf = [](const _SPrmReqInfo& run) {
        return (run.mCount + kMaxRequestCount - 1) / kMaxRequestCount;
    };
    int requests = 0, done = 0;
    for (const _SPrmReqInfo& run : runs)
        requests += requestsOf(run);
    const bool progress = mProgress && requests >= kProgressRequests;
    int result = KdSettingsStatus::kOK;
    for (size_t r = 0; r < runs.size() && result != KdSettingsStatus::kNoDevice; ++r) {
        if (progress) mReport.Progress("reading", done, requests);
        done += requestsOf(runs[r]);
        const int status = Fetch(runs[r].mPrmID, runs[r].mCount);
        const bool lost = status == KdSettingsStatus::kNoDevice;
        if (status == KdSettingsStatus::kNoAnswer || lost) {
            if (!unanswered) {
                result = status;
                break;
            }
            // After a lost link nothing more can be read.
            unanswered->insert(unanswered->end(), runs.begin() + r,
                               lost ? runs.end() : runs.begin() + r + 1);
        }
        if (result == KdSettingsStatus::kOK || result == KdSettingsStatus::kRefused)
            result = status ? status : result;
    }
    if (progress) mReport.EndProgress();
    return result;
}

bool CKdSettingsSession::AnyPending(long first, long end) const {
    for (long write = first; write < end; ++write)
        if (mWrites[write].mResult == EWrite::Pending) return true;
    return false;
}

int CKdSettingsSession::AwaitWrites(long first, long end) {
    // As for a request: the wait restarts with each chunk, but a busy line ends it at twice
    // the time-out.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + 2 * std::chrono::milliseconds(mTimeoutMs);
    LStream* stream = DeviceStream();
    while (AnyPending(first, end)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (!stream || left.count() <= 0 ||
            !stream->WaitReadable(std::min<int>(mTimeoutMs, int(left.count()))))
            return KdSettingsStatus::kOK;
        char bytes[32];
        const ssize_t count = stream->Read(bytes, sizeof bytes);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (count < 1)
            return mReport.Fail(KdSettingsStatus::kNoDevice, "lost the link to the switcher");
        KdCmdParser()->ParseData(bytes, static_cast<unsigned long>(count));
    }
    return KdSettingsStatus::kOK;
}

int CKdSettingsSession::ConfirmWrites(long first, long end, bool resend) {
    for (int attempt = 0;; ++attempt) {
        if (int status = AwaitWrites(first, end)) return status;
        if (!AnyPending(first, end)) return KdSettingsStatus::kOK;
        if (!resend || attempt >= mRetries) return KdSettingsStatus::kNoAnswer;
        for (long write = first; write < end; ++write) {
            if (mWrites[write].mResult != EWrite::Pending) continue;
            mReport.Note("no answer to \"%s\" within %d ms; sending it again",
                         CKdPacketText::Describe(mWrites[write].mPacket).CString(), mTimeoutMs);
            CKdCmdPacket copy = mWrites[write].mPacket;
            copy.mSequence = static_cast<uint8_t>(CmdSequence());
            mResending = write;
            const int sent = SendCmdPacket(copy, 0);
            mResending = -1;
            if (sent == kSendFailed)
                return mReport.Fail(KdSettingsStatus::kNoDevice, "lost the link to the switcher");
        }
    }
}

int CKdSettingsSession::CmdSequence() {
    int sequence = CKdPrmManager::CmdSequence();
    for (int tries = 1; tries < 255 && mWriteOfSequence[sequence] >= 0; ++tries)
        sequence = CKdPrmManager::CmdSequence();
    return sequence;
}

int CKdSettingsSession::SendCmdPacket(const CKdCmdPacket& packet, int waitMs) {
    mSent[packet.mSequence] = packet;
    if (packet.mCommand == CKdCmdPacket::kCmdSetParameter) {
        long write = mResending;
        if (write < 0) {
            write = NextWrite();
            mWrites.push_back({packet});
        }
        mWriteOfSequence[packet.mSequence] = write;
    }
    mLastSend = CKdPrmManager::SendCmdPacket(packet, waitMs);
    if (mLastSend == kSendFailed) ++mFailedSends;
    return mLastSend;
}

void CKdSettingsSession::PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) {
    const bool response = packet.mCommand & CKdCmdPacket::kResponse;
    const bool refused = response && (packet.mLength < 1 || packet.mData[0] != 0);
    const int status = packet.mLength < 1 ? -1 : packet.mData[0];
    if (packet.mCommand == (CKdCmdPacket::kCmdSetParameter | CKdCmdPacket::kResponse)) {
        const long write = std::exchange(mWriteOfSequence[packet.mSequence], -1);
        if (write >= 0 && mWrites[write].mResult != EWrite::Confirmed) {
            mWrites[write].mResult = refused ? EWrite::Refused : EWrite::Confirmed;
            mWrites[write].mStatus = status;
        }
    } else if (refused) {
        ++mRefusalCount;
    }
    if (refused) {
        const CKdCmdPacket& request = mSent[packet.mSequence];
        mReport.Note("the switcher refused \"%s\" with status %d",
                     CKdPacketText::Describe(request).CString(), status);
    }
    CKdPrmManager::PacketCompleted(parser, packet);
}
