#include "LPollRunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

LPollRunLoop::LPollRunLoop() : mWakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LPollRunLoop::~LPollRunLoop() {
    if (mWakeFd >= 0) close(mWakeFd);
}

int LPollRunLoop::AddSource(int fd, Callback onReadable) {
    if (fd < 0 || !onReadable) return 0;
    int id = mNextId++;
    mSources[id] = Source{fd, std::move(onReadable)};
    return id;
}

void LPollRunLoop::RemoveSource(int sourceId) {
    mSources.erase(sourceId);
}

void LPollRunLoop::Post(Callback call) {
    {
        std::lock_guard<std::mutex> lock(mPostedMutex);
        mPosted.push_back(std::move(call));
    }
    Wake();
}

int LPollRunLoop::AddTimer(int delayMs, Callback call) {
    int id = mNextId++;
    mTimers[id] =
        Timer{Clock::now() + std::chrono::milliseconds(std::max(delayMs, 0)), std::move(call)};
    return id;
}

void LPollRunLoop::CancelTimer(int timerId) {
    mTimers.erase(timerId);
}

void LPollRunLoop::Stop() {
    mStopped = true;
    Wake();
}

void LPollRunLoop::Wake() {
    uint64_t one = 1;
    if (mWakeFd >= 0 && write(mWakeFd, &one, sizeof one) < 0) {
        // The counter is saturated: the loop is awake anyway.
    }
}

int LPollRunLoop::NextTimeoutMs(int limitMs) const {
    int timeout = limitMs;
    auto now = Clock::now();
    for (const auto& [id, timer] : mTimers) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(timer.due - now).count();
        int ms = static_cast<int>(std::max<long long>(left, 0));
        if (timeout < 0 || ms < timeout) timeout = ms;
    }
    return timeout;
}

void LPollRunLoop::RunDueTimers() {
    auto now = Clock::now();
    std::vector<int> due;
    for (const auto& [id, timer] : mTimers)
        if (timer.due <= now) due.push_back(id);
    for (int id : due) {
        auto it = mTimers.find(id);
        if (it == mTimers.end()) continue; // cancelled by an earlier timer
        Callback call = std::move(it->second.call);
        mTimers.erase(it);
        call();
    }
}

void LPollRunLoop::RunPosted() {
    std::vector<Callback> posted;
    {
        std::lock_guard<std::mutex> lock(mPostedMutex);
        posted.swap(mPosted);
    }
    for (auto& call : posted)
        call();
}

void LPollRunLoop::RunOnce(int timeoutMs) {
    std::vector<pollfd> fds;
    std::vector<int> ids;
    fds.push_back({mWakeFd, POLLIN, 0});
    ids.push_back(0);
    for (const auto& [id, source] : mSources) {
        fds.push_back({source.fd, POLLIN, 0});
        ids.push_back(id);
    }
    int ready = poll(fds.data(), fds.size(), NextTimeoutMs(timeoutMs));
    if (ready > 0) {
        if (fds[0].revents) {
            uint64_t count;
            if (read(mWakeFd, &count, sizeof count) < 0) {
                // Nothing pending: another round already took it.
            }
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            auto it = mSources.find(ids[i]);
            if (it == mSources.end()) continue;    // removed by an earlier callback
            Callback call = it->second.onReadable; // the callback may remove its own source
            call();
        }
    }
    RunPosted();
    RunDueTimers();
}

void LPollRunLoop::Run(int timeoutMs) {
    mStopped = false;
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!mStopped) {
        int left = -1;
        if (timeoutMs >= 0) {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (ms.count() <= 0) break;
            left = static_cast<int>(ms.count());
        }
        RunOnce(left);
    }
}
