#pragma once

#include "LRunLoop.h"

#include <QObject>

#include <map>
#include <memory>

class QSocketNotifier;
class QTimer;

// LRunLoop on the Qt event loop of the thread that created it: descriptor sources are socket
// notifiers, timers are single-shot QTimers, posted calls are queued invocations.
class UiRunLoop : public LRunLoop {
public:
    UiRunLoop();
    ~UiRunLoop() override;
    UiRunLoop(const UiRunLoop&) = delete;
    UiRunLoop& operator=(const UiRunLoop&) = delete;

    // Makes a loop on the calling (main) thread the main run loop, unless one is installed.
    static void InstallMain();

    int AddSource(int fd, Callback onReadable) override;
    void RemoveSource(int sourceId) override;
    void Post(Callback call) override;
    int AddTimer(int delayMs, Callback call) override;
    void CancelTimer(int timerId) override;

private:
    QObject mContext; // lives on the loop's thread; posted calls run in its context
    int mNextId = 1;
    std::map<int, std::unique_ptr<QSocketNotifier>> mSources;
    std::map<int, std::unique_ptr<QTimer>> mTimers;
};
