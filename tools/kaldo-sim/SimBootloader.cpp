#include "SimBootloader.h"

namespace {
constexpr uint8_t kStart = 0x01;
constexpr uint8_t kEnd = 0x17;
constexpr size_t kFrame = 7;

// Command codes.
enum : uint8_t {
    kVerifyChecksum = 0x31,
    kGetFlashSize = 0x32,
    kGetAppStatus = 0x33,
    kEraseRow = 0x34,
    kSetActiveApp = 0x36,
    kSendData = 0x37,
    kEnterBootloader = 0x38,
    kProgramRow = 0x39,
    kVerifyRow = 0x3A,
    kExitBootloader = 0x3B,
};

uint32_t RowKey(const std::vector<uint8_t>& data) {
    return uint32_t(data[0]) << 16 | data[1] | data[2] << 8;
}
} // namespace

std::vector<uint8_t> SimBootloader::Handle(const uint8_t* report, size_t length) {
    // A report may be longer than its packet (hardware pads to the report size).
    if (length < kFrame || report[0] != kStart) return Answer(kStatusLength, {});
    const size_t dataLength = report[2] | report[3] << 8;
    if (kFrame + dataLength > length || report[6 + dataLength] != kEnd)
        return Answer(kStatusLength, {});
    const uint16_t sent = mConfig.crc ? report[4 + dataLength] << 8 | report[5 + dataLength]
                                      : report[4 + dataLength] | report[5 + dataLength] << 8;
    if (sent != Checksum(report, 4 + dataLength)) return Answer(kStatusChecksum, {});
    const std::vector<uint8_t> data(report + 4, report + 4 + dataLength);
    std::vector<uint8_t> answer;
    const uint8_t status = Execute(report[1], data, answer);
    if (report[1] == kExitBootloader || mConfig.noAnswer) return {};
    return Answer(status, status == kStatusOk ? answer : std::vector<uint8_t>());
}

uint8_t SimBootloader::Execute(uint8_t command, const std::vector<uint8_t>& data,
                               std::vector<uint8_t>& answer) {
    // Data bytes each command carries: at least this many.
    const size_t needs =
        command == kEraseRow || command == kVerifyRow || command == kProgramRow            ? 3
        : command == kGetFlashSize || command == kGetAppStatus || command == kSetActiveApp ? 1
                                                                                           : 0;
    if (data.size() < needs) return kStatusLength;
    switch (command) {
    case kEnterBootloader: {
        const uint32_t id = mConfig.siliconId ^ (mConfig.wrongSiliconId ? 0x00010000 : 0);
        const uint32_t version = mConfig.version;
        answer = {uint8_t(id),           uint8_t(id >> 8),      uint8_t(id >> 16),
                  uint8_t(id >> 24),     mConfig.siliconRev,    uint8_t(version),
                  uint8_t(version >> 8), uint8_t(version >> 16)};
        mPending.clear();
        return kStatusOk;
    }
    case kGetFlashSize:
        if (data[0] >= mConfig.arrays) return kStatusRow;
        answer = {uint8_t(mConfig.firstRow), uint8_t(mConfig.firstRow >> 8),
                  uint8_t(mConfig.lastRow), uint8_t(mConfig.lastRow >> 8)};
        return kStatusOk;
    case kGetAppStatus:
        answer = {0, uint8_t(mConfig.activeApp || mActive)}; // validity 0: valid
        return kStatusOk;
    case kSetActiveApp:
        mActive = true;
        return kStatusOk;
    case kSendData:
        mPending.insert(mPending.end(), data.begin(), data.end());
        return kStatusOk;
    case kProgramRow: {
        if (!IsRowInFlash(data)) return kStatusRow;
        std::vector<uint8_t>& row = mRows[RowKey(data)];
        row = std::move(mPending);
        row.insert(row.end(), data.begin() + 3, data.end());
        mPending.clear();
        return kStatusOk;
    }
    case kEraseRow:
        if (!IsRowInFlash(data)) return kStatusRow;
        mRows.erase(RowKey(data));
        return kStatusOk;
    case kVerifyRow: {
        if (!IsRowInFlash(data)) return kStatusRow;
        uint8_t sum = 0;
        for (uint8_t byte : mRows[RowKey(data)])
            sum += byte;
        const bool bad = (data[1] | data[2] << 8) == mConfig.badRow;
        answer = {uint8_t(-sum + (bad ? 1 : 0))};
        return kStatusOk;
    }
    case kVerifyChecksum:
        answer = {1};
        return kStatusOk;
    case kExitBootloader:
        mExitRequested = true;
        return kStatusOk;
    }
    return kStatusUnknown;
}

bool SimBootloader::IsRowInFlash(const std::vector<uint8_t>& data) const {
    const int row = data[1] | data[2] << 8;
    return data[0] < mConfig.arrays && row >= mConfig.firstRow && row <= mConfig.lastRow;
}

uint16_t SimBootloader::Checksum(const uint8_t* bytes, size_t size) const {
    if (mConfig.crc) {
        uint16_t crc = 0xFFFF;
        for (size_t i = 0; i < size; ++i) {
            crc ^= bytes[i];
            for (int bit = 0; bit < 8; ++bit)
                crc = crc & 1 ? (crc >> 1) ^ 0x8408 : crc >> 1;
        }
        return uint16_t(~crc);
    }
    uint16_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += bytes[i];
    return uint16_t(-sum);
}

std::vector<uint8_t> SimBootloader::Answer(uint8_t status, const std::vector<uint8_t>& data) const {
    std::vector<uint8_t> answer = {kStart, status, uint8_t(data.size()), uint8_t(data.size() >> 8)};
    answer.insert(answer.end(), data.begin(), data.end());
    const uint16_t checksum = Checksum(answer.data(), answer.size());
    if (mConfig.crc)
        answer.insert(answer.end(), {uint8_t(checksum >> 8), uint8_t(checksum)});
    else
        answer.insert(answer.end(), {uint8_t(checksum), uint8_t(checksum >> 8)});
    answer.push_back(kEnd);
    answer.resize(64, 0); // one whole input report
    return answer;
}
