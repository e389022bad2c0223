#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// One packet of the command link. The object's first WireSize() bytes are the packet as it
// travels: "M" "V", command, sequence number, data length, then the data bytes. Multi-byte values
// inside the data are little-endian.
class CKdCmdPacket {
public:
    static constexpr uint16_t kHeader = 0x564D; // "M" "V" in little-endian byte order
    static constexpr int kHeaderSize = 5;
    static constexpr int kMaxDataLength = 59;

    // Command codes; a response code is its request code plus kResponse.
    enum : uint8_t {
        kCmdReqParameter = 0x10,
        kCmdReqVersion = 0x15,
        kCmdSetParameter = 0x20,
        kCmdBeginUsbUpdate = 0x30,
        kCmdBeginFirmware = 0x31,
        kCmdFirmwareBlock = 0x32,
        kCmdEndFirmware = 0x33,
        kCmdReboot = 0x40,
        kResponse = 0x80,
        kCmdResParameter = kCmdReqParameter | kResponse,
        kCmdResVersion = kCmdReqVersion | kResponse,
    };

    CKdCmdPacket(int command, int sequence);

    // Stores the low 8 bits as the next data byte; false (and no change) when the packet is full.
    bool Append(int byte);
    // Appends count bytes until all are stored or the packet is full; false when one did not fit.
    bool Append(const void* bytes, int count);
    void DebugPrint(const char* label) const;

    int WireSize() const { return kHeaderSize + mLength; }
    const void* Bytes() const { return &mHeader; }

    uint16_t mHeader = kHeader;
    uint8_t mCommand = 0;
    uint8_t mSequence = 0;
    uint8_t mLength = 0;
    uint8_t mData[kMaxDataLength] = {};
};

static_assert(std::endian::native == std::endian::little, "the header word is stored as \"MV\"");
static_assert(offsetof(CKdCmdPacket, mHeader) == 0);
static_assert(offsetof(CKdCmdPacket, mCommand) == 2);
static_assert(offsetof(CKdCmdPacket, mSequence) == 3);
static_assert(offsetof(CKdCmdPacket, mLength) == 4);
static_assert(offsetof(CKdCmdPacket, mData) == CKdCmdPacket::kHeaderSize);
static_assert(sizeof(CKdCmdPacket) == CKdCmdPacket::kHeaderSize + CKdCmdPacket::kMaxDataLength);
