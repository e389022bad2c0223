#include "SimTrace.h"

#include <cstdio>
#include <map>

namespace {
constexpr int kUsbUpdateBegin = 0x30; // named in the trace, answered as an unknown command
const std::map<int, const char*> kCommandNames = {
    {SimDevice::kReadParameters, "read parameters"},
    {SimDevice::kReadVersion, "read version"},
    {SimDevice::kWriteParameters, "write parameters"},
    {kUsbUpdateBegin, "USB update begin"},
    {SimDevice::kFirmwareBegin, "firmware begin"},
    {SimDevice::kFirmwareBlock, "firmware block"},
    {SimDevice::kFirmwareEnd, "firmware end"},
    {SimDevice::kReboot, "reboot"},
};

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char byte[4];
    for (uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%02X ", b);
        text += byte;
    }
    if (!text.empty()) text.pop_back();
    return text;
}
} // namespace

void SimTrace::Log(const char* direction, const SimFrame& frame, const char* note) const {
    std::fprintf(stderr, "%s %s\n   %s%s%s\n", direction, Hex(frame.Bytes()).c_str(),
                 Describe(frame).c_str(), note ? " - " : "", note ? note : "");
}

std::string SimTrace::Describe(const SimFrame& frame) const {
    const bool isAnswer = !SimDevice::IsRequest(frame);
    const auto name = kCommandNames.find(frame.command & ~SimDevice::kAnswerFlag);
    std::string text = std::string(isAnswer ? "answer to " : "") +
                       (name != kCommandNames.end() ? name->second : "unknown command") +
                       ", sequence " + std::to_string(frame.sequence);
    const auto& data = frame.data;
    if (isAnswer) {
        if (!data.empty()) text += ", status " + std::to_string(data[0]);
        if (data.size() > 1) text += ", " + std::to_string(data.size() - 1) + " bytes";
    } else if ((frame.command == SimDevice::kReadParameters ||
                frame.command == SimDevice::kWriteParameters) &&
               data.size() >= 3) {
        const int id = data[0] | (data[1] << 8);
        text += frame.command == SimDevice::kReadParameters
                    ? ", " + std::to_string(data[2]) + " from "
                    : ", " + std::to_string(data.size() - 2) + " bytes to ";
        text += std::to_string(id) + Label(id);
    } else if (!data.empty()) {
        text += ", " + std::to_string(data.size()) + " bytes";
    }
    return text;
}

std::string SimTrace::Label(int id) const {
    const auto* param = mCatalog.ParamAt(id);
    return param && param->id == id && !param->label.empty() ? " \"" + param->label + "\"" : "";
}
