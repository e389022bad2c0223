#pragma once

#include <functional>

// The event loop of one thread, as the library needs it: descriptor sources, calls posted from
// any thread, and one-shot timers. The window layer implements it on the Qt event loop; programs
// without a window use LPollRunLoop.
class LRunLoop {
public:
    using Callback = std::function<void()>;

    virtual ~LRunLoop() = default;

    // Calls onReadable on this loop's thread whenever fd is readable (or hung up). Returns a
    // source identifier (> 0) for RemoveSource, or 0 on failure.
    virtual int AddSource(int fd, Callback onReadable) = 0;
    virtual void RemoveSource(int sourceId) = 0;
    // Runs call on this loop's thread soon; safe from any thread.
    virtual void Post(Callback call) = 0;
    // Runs call once after delayMs; returns a timer identifier (> 0) for CancelTimer.
    virtual int AddTimer(int delayMs, Callback call) = 0;
    virtual void CancelTimer(int timerId) = 0;

    // The loop of the main thread; null until a program installs one.
    static LRunLoop* Main();
    static void SetMain(LRunLoop* loop);
};
