#include "CKdCmdParser.h"

#include "CKdPrmManager.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kHeaderM = 'M';
constexpr uint8_t kHeaderV = 'V';
constexpr long kFirstVersionPrm = 990; // four 16-bit words: 990, 992, 994, 996
constexpr int kVersionWords = 4;
} // namespace

CKdCmdParser::Delegate::~Delegate() = default;

CKdCmdParser::CKdCmdParser(CKdPrmManager* manager) : mPrmManager(manager) {}

CKdCmdParser::~CKdCmdParser() = default;

void CKdCmdParser::ResetPhase() {
    mPhase = kWaitM;
    mRemaining = 0;
    mPacket.mLength = 0;
}

void CKdCmdParser::ParseData(int byte) {
    const auto value = static_cast<uint8_t>(byte);
    switch (mPhase) {
    case kWaitM:
        if (value == kHeaderM) mPhase = kWaitV;
        break;
    case kWaitV:
        if (value == kHeaderV) {
            mPhase = kCommand;
            break;
        }
        // Not a header after all; the byte may itself start the next one ("M" "M" "V").
        ResetPhase();
        if (value == kHeaderM) mPhase = kWaitV;
        break;
    case kCommand:
        mPacket.mCommand = value;
        mPhase = kSequence;
        break;
    case kSequence:
        mPacket.mSequence = value;
        mPhase = kLength;
        break;
    case kLength:
        mRemaining = value;
        mPhase = kData;
        if (mRemaining == 0) CompletePacket();
        break;
    case kData:
        // A declared length above the capacity is consumed in full but only the first bytes kept.
        if (mPacket.mLength < CKdCmdPacket::kMaxDataLength)
            mPacket.mData[mPacket.mLength++] = value;
        if (--mRemaining == 0) CompletePacket();
        break;
    }
}

void CKdCmdParser::ParseData(const void* bytes, unsigned long count) {
    if (!bytes) return;
    const auto* next = static_cast<const uint8_t*>(bytes);
    const uint8_t* const end = next + count;
    // Same state machine as ParseData(int); the scan for "M" and data runs go in bulk.
    while (next < end) {
        if (mPhase == kWaitM) {
            const void* header = std::memchr(next, kHeaderM, end - next);
            if (!header) return;
            next = static_cast<const uint8_t*>(header) + 1;
            mPhase = kWaitV;
        } else if (mPhase == kData) {
            const long run = std::min<long>(mRemaining, end - next);
            const long kept = std::min<long>(run, CKdCmdPacket::kMaxDataLength - mPacket.mLength);
            std::memcpy(mPacket.mData + mPacket.mLength, next, kept);
            mPacket.mLength += kept;
            mRemaining -= run;
            next += run;
            if (mRemaining == 0) CompletePacket();
        } else {
            ParseData(*next++);
        }
    }
}

void CKdCmdParser::CompletePacket() {
    // The parser is clean before anyone sees the packet, so a handler may feed or reset it.
    const CKdCmdPacket packet = mPacket;
    ResetPhase();
    PacketCompleted(packet);
}

void CKdCmdParser::PacketCompleted(const CKdCmdPacket& packet) {
    if (mDelegate) mDelegate->PacketCompleted(this, packet);
    switch (packet.mCommand) {
    case CKdCmdPacket::kCmdResParameter:
        HandleResParameter(packet);
        break;
    case CKdCmdPacket::kCmdResVersion:
        HandleResVersion(packet);
        break;
    default:
        break;
    }
}

void CKdCmdParser::HandleResParameter(const CKdCmdPacket& packet) {
    if (!mPrmManager || !IsResponseValid(packet, -1)) return;
    const long first = mPrmManager->ReqPrmAdrs(packet.mSequence);
    if (first < 0) return;
    mPrmManager->SetValueByHost(first, packet.mData + 1, packet.mLength - 1);
}

void CKdCmdParser::HandleResVersion(const CKdCmdPacket& packet) {
    if (!mPrmManager || !IsResponseValid(packet, 1 + 2 * kVersionWords)) return;
    for (int i = 0; i < kVersionWords; ++i) {
        const int word = packet.mData[1 + 2 * i] | packet.mData[2 + 2 * i] << 8;
        mPrmManager->SetValueByHost(kFirstVersionPrm + 2 * i, word);
    }
    mPrmManager->VersionReceived();
}

bool CKdCmdParser::IsResponseValid(const CKdCmdPacket& packet, int expectedLength) {
    if (expectedLength >= 0 && expectedLength != packet.mLength) return false;
    // A response without even its status byte is a refusal.
    return packet.mLength >= 1 && packet.mData[0] == 0;
}
