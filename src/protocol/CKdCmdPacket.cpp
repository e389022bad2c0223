#include "CKdCmdPacket.h"

#include <algorithm>
#include <cstring>

CKdCmdPacket::CKdCmdPacket(int command, int sequence)
    : mCommand(static_cast<uint8_t>(command)), mSequence(static_cast<uint8_t>(sequence)) {}

bool CKdCmdPacket::Append(int byte) {
    if (mLength >= kMaxDataLength) return false;
    mData[mLength++] = static_cast<uint8_t>(byte);
    return true;
}

bool CKdCmdPacket::Append(const void* bytes, int count) {
    if (count < 1) return true;
    if (!bytes) return false;
    const int stored = std::min(count, kMaxDataLength - mLength);
    std::memcpy(mData + mLength, bytes, stored);
    mLength += stored;
    return stored == count;
}

void CKdCmdPacket::DebugPrint(const char*) const {}
