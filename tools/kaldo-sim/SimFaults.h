#pragma once

#include <cstdint>
#include <random>
#include <set>
#include <vector>

// Faults injected on the command link for tests and demonstrations.
class SimFaults {
public:
    struct _SConfig {
        int latencyMs = 0;         // delay of every answer
        bool noAnswerAll = false;  // answer nothing
        std::set<int> noAnswer;    // or: answer none of these commands
        int refuseStatus = 0;      // non-zero: refuse with this status...
        std::set<int> refuseOnly;  // ...these commands (empty: all)
        int dropEvery = 0;         // lose every n-th request unread
        bool garbage = false;      // noise bytes before each answer
        int disconnectAfterMs = 0; // unplug this long after each attachment
    };

    explicit SimFaults(const _SConfig& config) : mConfig(config) {}

    // Counts a request; true when it is to be lost.
    bool DropRequest();
    bool Answers(int command) const;
    // The status that refuses this command, or 0.
    int RefusalStatus(int command) const;
    // A few random bytes without "M", so that they never start a frame.
    std::vector<uint8_t> Noise();

private:
    _SConfig mConfig;
    long mRequests = 0;
    std::minstd_rand mRandom{0x4B31};
};
