#include "SimFrameParser.h"

#include <algorithm>

namespace {
constexpr uint8_t kHeader1 = 'M';
constexpr uint8_t kHeader2 = 'V';
} // namespace

std::vector<uint8_t> SimFrame::Bytes() const {
    std::vector<uint8_t> bytes(5 + data.size());
    bytes[0] = kHeader1;
    bytes[1] = kHeader2;
    bytes[2] = command;
    bytes[3] = sequence;
    bytes[4] = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), bytes.begin() + 5);
    return bytes;
}

void SimFrameParser::Feed(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        Take(bytes[i]);
}

void SimFrameParser::Reset() {
    mPhase = Phase::Header1;
    mExpected = 0;
    mFrame = SimFrame();
}

void SimFrameParser::Take(uint8_t byte) {
    switch (mPhase) {
    case Phase::Header1:
        if (byte == kHeader1) mPhase = Phase::Header2;
        break;
    case Phase::Header2:
        // "M" "M" "V" still starts a frame at the second "M".
        if (byte != kHeader1) mPhase = byte == kHeader2 ? Phase::Command : Phase::Header1;
        break;
    case Phase::Command:
        mFrame.command = byte;
        mPhase = Phase::Sequence;
        break;
    case Phase::Sequence:
        mFrame.sequence = byte;
        mPhase = Phase::Length;
        break;
    case Phase::Length:
        mExpected = byte;
        mPhase = Phase::Data;
        if (mExpected == 0) Complete();
        break;
    case Phase::Data:
        mFrame.data.push_back(byte);
        if (mFrame.data.size() == mExpected) Complete();
        break;
    }
}

void SimFrameParser::Complete() {
    const SimFrame frame = std::move(mFrame);
    Reset();
    mOnFrame(frame);
}
