#include "CtlSession.h"

#include "CtlStatus.h"

#include <algorithm>

int CtlSession::Connect(LStream* stream) {
    SetDeviceStream(stream); // the first version request
    for (int attempt = 1; attempt < kConnectAttempts; ++attempt)
        if (IsOnline()) return CtlStatus::kOK; // asks again while offline
    return mRefusalCount ? CtlStatus::kRefused : CtlStatus::kNoAnswer;
}

int CtlSession::Fetch(long id, int count) {
    const int refusals = mRefusalCount;
    if (!RequestParameter(id, count, kRequestWaitMs)) return CtlStatus::kNoAnswer;
    return mRefusalCount == refusals ? CtlStatus::kOK : CtlStatus::kRefused;
}

int CtlSession::FetchTable(const _SPrmReqInfo* table) {
    for (; table && table->mCount >= 1; ++table)
        if (int status = Fetch(table->mPrmID, table->mCount)) return status;
    return CtlStatus::kOK;
}

int CtlSession::FetchSpans(std::vector<_SSpan> spans) {
    std::sort(spans.begin(), spans.end(),
              [](const _SSpan& a, const _SSpan& b) { return a.mFirst < b.mFirst; });
    std::vector<_SSpan> runs;
    for (const _SSpan& span : spans) {
        if (span.mCount < 1) continue;
        if (!runs.empty() && span.mFirst <= runs.back().mFirst + runs.back().mCount) {
            const long end =
                std::max(runs.back().mFirst + runs.back().mCount, span.mFirst + span.mCount);
            runs.back().mCount = static_cast<int>(end - runs.back().mFirst);
        } else {
            runs.push_back(span);
        }
    }
    for (const _SSpan& run : runs)
        if (int status = Fetch(run.mFirst, run.mCount)) return status;
    return CtlStatus::kOK;
}

void CtlSession::PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) {
    const bool response = packet.mCommand & CKdCmdPacket::kResponse;
    if (response && (packet.mLength < 1 || packet.mData[0] != 0)) {
        ++mRefusalCount;
        mLastRefusal.Format("answer 0x%02x to #%d has status %d", packet.mCommand, packet.mSequence,
                            packet.mLength < 1 ? -1 : packet.mData[0]);
    }
    CKdPrmManager::PacketCompleted(parser, packet);
}
