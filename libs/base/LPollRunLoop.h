#pragma once

#include "LRunLoop.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

// LRunLoop on poll(2) for programs and tests without a window.
class LPollRunLoop : public LRunLoop {
public:
    LPollRunLoop();
    ~LPollRunLoop() override;
    LPollRunLoop(const LPollRunLoop&) = delete;
    LPollRunLoop& operator=(const LPollRunLoop&) = delete;

    int AddSource(int fd, Callback onReadable) override;
    void RemoveSource(int sourceId) override;
    void Post(Callback call) override;
    int AddTimer(int delayMs, Callback call) override;
    void CancelTimer(int timerId) override;

    // Waits up to timeoutMs (-1: no limit) for one round of events and handles them.
    void RunOnce(int timeoutMs);
    // Handles events until Stop() or until timeoutMs has passed (-1: no limit).
    void Run(int timeoutMs = -1);
    // Makes Run return; safe from any thread and from callbacks.
    void Stop();

private:
    using Clock = std::chrono::steady_clock;
    struct Source {
        int fd;
        Callback onReadable;
    };
    struct Timer {
        Clock::time_point due;
        Callback call;
    };

    int NextTimeoutMs(int limitMs) const;
    void RunDueTimers();
    void RunPosted();
    void Wake();

    int mWakeFd = -1;
    int mNextId = 1;
    std::atomic<bool> mStopped{false};
    std::map<int, Source> mSources;
    std::map<int, Timer> mTimers;
    std::mutex mPostedMutex;
    std::vector<Callback> mPosted;
};
