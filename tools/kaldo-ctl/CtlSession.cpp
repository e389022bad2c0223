#include "CtlSession.h"

#include "CtlOutput.h"
#include "CtlPacketText.h"
#include "CtlStatus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace {
constexpr int kProgressRequests = 8; // reads shorter than this show no progress
} // namespace

CtlSession::CtlSession() : mSent(256, CKdCmdPacket(0, 0)) {
    mWriteOfSequence.fill(-1);
}

int CtlSession::Connect(LStream* stream) {
    const int refusals = mRefusalCount;
    SetDeviceStream(stream); // the first version request
    for (int attempt = 1;; ++attempt) {
        if (mRefusalCount != refusals) return CtlStatus::kRefused;
        if (attempt == kConnectAttempts) return CtlStatus::kNoAnswer;
        if (IsOnline()) return CtlStatus::kOK; // asks again while offline
    }
}

int CtlSession::Fetch(long id, int count) {
    // Each request of at most 12 is asked again on its own, so that one lost answer costs one
    // request.
    int result = CtlStatus::kOK;
    for (long first = id; first < id + count; first += kMaxRequestCount) {
        const int status =
            FetchRequest(first, std::min<long>(kMaxRequestCount, id + count - first));
        if (status == CtlStatus::kNoAnswer || status == CtlStatus::kNoDevice) return status;
        result = result ? result : status;
    }
    return result;
}

int CtlSession::FetchRequest(long id, int count) {
    const int refusals = mRefusalCount;
    for (int attempt = 0; attempt <= mRetries; ++attempt) {
        if (attempt)
            CtlStatus::Note("no answer to the request of %ld..%ld within %d ms; asking again", id,
                            id + count - 1, mTimeoutMs);
        if (RequestParameter(id, count, mTimeoutMs))
            return mRefusalCount == refusals ? CtlStatus::kOK : CtlStatus::kRefused;
        if (mLastSend == kSendFailed)
            return CtlStatus::Fail(CtlStatus::kNoDevice, "lost the link to the switcher");
    }
    return CtlStatus::Fail(CtlStatus::kNoAnswer,
                           "no answer from the switcher within %d ms to the request of %ld..%ld "
                           "(%d %s)",
                           mTimeoutMs, id, id + count - 1, mRetries + 1,
                           mRetries ? "attempts" : "attempt");
}

int CtlSession::FetchTable(const _SPrmReqInfo* table) {
    for (; table && table->mCount >= 1; ++table)
        if (int status = Fetch(table->mPrmID, table->mCount)) return status;
    return CtlStatus::kOK;
}

int CtlSession::FetchSpans(std::vector<_SPrmReqInfo> spans, std::vector<_SPrmReqInfo>* unanswered) {
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
    CtlOutput* progress = requests >= kProgressRequests ? mProgress : nullptr;
    int result = CtlStatus::kOK;
    for (size_t r = 0; r < runs.size() && result != CtlStatus::kNoDevice; ++r) {
        if (progress) progress->Progress("reading", done, requests);
        done += requestsOf(runs[r]);
        const int status = Fetch(runs[r].mPrmID, runs[r].mCount);
        const bool lost = status == CtlStatus::kNoDevice;
        if (status == CtlStatus::kNoAnswer || lost) {
            if (!unanswered) {
                result = status;
                break;
            }
            // After a lost link nothing more can be read.
            unanswered->insert(unanswered->end(), runs.begin() + r,
                               lost ? runs.end() : runs.begin() + r + 1);
        }
        if (result == CtlStatus::kOK || result == CtlStatus::kRefused)
            result = status ? status : result;
    }
    if (progress) progress->EndProgress();
    return result;
}

bool CtlSession::AnyPending(long first, long end) const {
    for (long write = first; write < end; ++write)
        if (mWrites[write].mResult == EWrite::Pending) return true;
    return false;
}

int CtlSession::AwaitWrites(long first, long end) {
    // As for a request: the wait restarts with each chunk, but a busy line ends it at twice
    // the time-out.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + 2 * std::chrono::milliseconds(mTimeoutMs);
    LStream* stream = DeviceStream();
    while (AnyPending(first, end)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (!stream || left.count() <= 0 ||
            !stream->WaitReadable(std::min<int>(mTimeoutMs, int(left.count()))))
            return CtlStatus::kOK;
        char bytes[32];
        const ssize_t count = stream->Read(bytes, sizeof bytes);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (count < 1)
            return CtlStatus::Fail(CtlStatus::kNoDevice, "lost the link to the switcher");
        KdCmdParser()->ParseData(bytes, static_cast<unsigned long>(count));
    }
    return CtlStatus::kOK;
}

int CtlSession::ConfirmWrites(long first, long end, bool resend) {
    for (int attempt = 0;; ++attempt) {
        if (int status = AwaitWrites(first, end)) return status;
        if (!AnyPending(first, end)) return CtlStatus::kOK;
        if (!resend || attempt >= mRetries) return CtlStatus::kNoAnswer;
        for (long write = first; write < end; ++write) {
            if (mWrites[write].mResult != EWrite::Pending) continue;
            CtlStatus::Note("no answer to \"%s\" within %d ms; sending it again",
                            CtlPacketText::Describe(mWrites[write].mPacket).CString(), mTimeoutMs);
            CKdCmdPacket copy = mWrites[write].mPacket;
            copy.mSequence = static_cast<uint8_t>(CmdSequence());
            mResending = write;
            const int sent = SendCmdPacket(copy, 0);
            mResending = -1;
            if (sent == kSendFailed)
                return CtlStatus::Fail(CtlStatus::kNoDevice, "lost the link to the switcher");
        }
    }
}

int CtlSession::CmdSequence() {
    int sequence = CKdPrmManager::CmdSequence();
    for (int tries = 1; tries < 255 && mWriteOfSequence[sequence] >= 0; ++tries)
        sequence = CKdPrmManager::CmdSequence();
    return sequence;
}

int CtlSession::SendCmdPacket(const CKdCmdPacket& packet, int waitMs) {
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

void CtlSession::PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) {
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
        CtlStatus::Note("the switcher refused \"%s\" with status %d",
                        CtlPacketText::Describe(request).CString(), status);
    }
    CKdPrmManager::PacketCompleted(parser, packet);
}
