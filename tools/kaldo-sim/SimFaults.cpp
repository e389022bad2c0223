#include "SimFaults.h"

namespace {
constexpr int kMaxNoise = 8;
}

bool SimFaults::DropRequest() {
    ++mRequests;
    return mConfig.dropEvery > 0 && mRequests % mConfig.dropEvery == 0;
}

bool SimFaults::Answers(int command) const {
    return !mConfig.noAnswerAll && !mConfig.noAnswer.count(command);
}

int SimFaults::RefusalStatus(int command) const {
    if (mConfig.refuseOnly.empty() || mConfig.refuseOnly.count(command))
        return mConfig.refuseStatus;
    return 0;
}

std::vector<uint8_t> SimFaults::Noise() {
    std::vector<uint8_t> noise(1 + mRandom() % kMaxNoise);
    for (auto& byte : noise) {
        byte = static_cast<uint8_t>(mRandom());
        if (byte == 'M') byte = 0;
    }
    return noise;
}
