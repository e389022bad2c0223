#include "SimDevice.h"

namespace {
constexpr int kVersionBytes = 8;
} // namespace

SimFrame SimDevice::StatusAnswer(const SimFrame& request, uint8_t status) {
    SimFrame answer;
    answer.command = static_cast<uint8_t>(request.command + kAnswerFlag);
    answer.sequence = request.sequence;
    answer.data = {status};
    return answer;
}

SimFrame SimDevice::Handle(const SimFrame& request) {
    SimFrame answer = StatusAnswer(request, kStatusOk);
    uint8_t status = kStatusUnknownCommand;
    if (request.data.size() > kMaxData) {
        status = kStatusMalformed;
    } else {
        switch (request.command) {
        case kReadParameters:
            status = ReadParameters(request, answer);
            break;
        case kReadVersion:
            status = ReadVersion(answer);
            break;
        case kWriteParameters:
            status = WriteParameters(request);
            break;
        case kFirmwareBegin:
        case kFirmwareBlock:
        case kFirmwareEnd:
            status = Firmware(request);
            break;
        case kUsbControllerUpdate:
            mBootloaderRequested = true;
            status = kStatusOk;
            break;
        case kReboot:
            mSwitcher.RequestReboot();
            status = kStatusOk;
            break;
        }
    }
    return status == kStatusOk ? answer : StatusAnswer(request, status);
}

uint8_t SimDevice::ReadParameters(const SimFrame& request, SimFrame& answer) {
    if (request.data.size() != 3) return kStatusMalformed;
    const int id = request.data[0] | (request.data[1] << 8);
    const int count = request.data[2];
    std::vector<uint8_t> bytes;
    if (count > kMaxData - 1 || !mSwitcher.Memory().Read(id, count, bytes)) return kStatusRefused;
    answer.data.insert(answer.data.end(), bytes.begin(), bytes.end());
    return kStatusOk;
}

uint8_t SimDevice::ReadVersion(SimFrame& answer) {
    std::vector<uint8_t> words;
    mSwitcher.Memory().Read(SimSwitcher::kVersionWords, kVersionBytes, words);
    answer.data.insert(answer.data.end(), words.begin(), words.end());
    return kStatusOk;
}

uint8_t SimDevice::WriteParameters(const SimFrame& request) {
    if (request.data.size() < 3) return kStatusMalformed;
    const int id = request.data[0] | (request.data[1] << 8);
    std::vector<SimMemory::_SExecute> executes;
    if (!mSwitcher.Memory().Write(id, request.data.data() + 2,
                                  static_cast<int>(request.data.size()) - 2, executes))
        return kStatusRefused;
    bool done = true;
    for (const auto& execute : executes)
        done = mSwitcher.Execute(execute.id, execute.value) && done;
    return done ? kStatusOk : kStatusFailed;
}

uint8_t SimDevice::Firmware(const SimFrame& request) {
    switch (request.command) {
    case kFirmwareBegin:
        mFirmwareOpen = true;
        mFirmwareSum = 0;
        return kStatusOk;
    case kFirmwareBlock:
        if (!mFirmwareOpen) return kStatusRefused;
        for (uint8_t byte : request.data)
            mFirmwareSum += byte;
        return kStatusOk;
    default:
        if (!mFirmwareOpen) return kStatusRefused;
        if (request.data.size() != 1) return kStatusMalformed;
        mFirmwareOpen = false;
        return request.data[0] == (mFirmwareSum & 0xFF) ? kStatusOk : kStatusChecksum;
    }
}
