#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// The USB controller's bootloader: answers the host's command packets (0x01, command, 16-bit
// length, data, 16-bit checksum, 0x17; little-endian) and keeps the programmed rows in memory.
class SimBootloader {
public:
    struct _SConfig {
        uint32_t siliconId = 0x2E123069;
        uint8_t siliconRev = 0x11;
        uint32_t version = 0x010214;
        int arrays = 2; // flash arrays 0..arrays-1, each with rows firstRow..lastRow
        uint16_t firstRow = 0;
        uint16_t lastRow = 511;
        bool crc = false; // packets carry CRC-16/X-25 instead of the summation checksum
        // Faults
        bool wrongSiliconId = false; // Enter Bootloader reports another silicon ID
        bool activeApp = false;      // the application is active and can't be replaced
        int badRow = -1;             // Verify Row of this row number answers a wrong value
        bool noAnswer = false;       // nothing is answered
    };

    enum Status : uint8_t {
        kStatusOk = 0x00,
        kStatusLength = 0x03,   // packet framing or length wrong
        kStatusChecksum = 0x04, // packet checksum wrong
        kStatusUnknown = 0x05,  // command not known
        kStatusRow = 0x06,      // array or row outside the flash
    };

    explicit SimBootloader(const _SConfig& config) : mConfig(config) {}

    // The answer to one report; empty when nothing is to be sent.
    std::vector<uint8_t> Handle(const uint8_t* report, size_t length);
    // True once after Exit Bootloader arrived.
    bool TakeExitRequest() { return std::exchange(mExitRequested, false); }
    size_t RowCount() const { return mRows.size(); }

private:
    uint8_t Execute(uint8_t command, const std::vector<uint8_t>& data,
                    std::vector<uint8_t>& answer);
    bool IsRowInFlash(const std::vector<uint8_t>& data) const;
    uint16_t Checksum(const uint8_t* bytes, size_t size) const;
    std::vector<uint8_t> Answer(uint8_t status, const std::vector<uint8_t>& data) const;

    _SConfig mConfig;
    std::map<uint32_t, std::vector<uint8_t>> mRows; // array << 16 | row
    std::vector<uint8_t> mPending;                  // Send Data bytes for the next Program Row
    bool mActive = false;
    bool mExitRequested = false;
};
